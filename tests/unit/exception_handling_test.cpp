// The handling of one exception over a scripted platform: the handler rules, the synchronised
// call and its fall-back, the phases in order, the filters' effect and the automatic decision.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crashreport/core/fire_event.h"
#include "crashreport/core/process_exception.h"
#include "scripted_settings.h"

namespace brevant::crashreport {
namespace {

class ScriptedPlatform : public HandlingPlatform {
public:
    std::int64_t Now() override { return now; }
    void DeleteTemporaryFolder() override { calls.push_back("delete temporary folder"); }
    bool HasProcessWideRole() override { return true; }
    void PauseOtherThreads(std::uint32_t keep) override { calls.push_back("pause except " + std::to_string(keep)); }
    void ResumeOtherThreads() override { calls.push_back("resume"); }
    void ResetFreezeWatch() override {}
    void CaptureScreenShot(CrashException&) override { calls.push_back("screenshot"); }
    void StartBugReport(CrashException& exc) override {
        calls.push_back("report");
        if (completeOnStart) exc.ReportCompleted();
    }
    bool CallOnMainThread(TFireHandlersParams& params, bool) override {
        calls.push_back("main thread call");
        if (!mainThreadAnswers) return false;
        lists->FireHandlers(params);
        return true;
    }
    bool Show(CrashException&) override {
        calls.push_back("show");
        return boxOffersChoice;
    }
    AssistantOutcome RunAssistant(const BuiltAssistant& assistant, CrashException&, void*) override {
        calls.push_back("assistant " + std::string(assistant.name.begin(), assistant.name.end()));
        return assistantOutcome;
    }
    void FinishHandling(CrashException& exc, bool wait) override {
        calls.push_back(wait ? "finish, waiting" : "finish");
        if (completeOnFinish) exc.ReportCompleted();
    }
    void TerminateWithExitCode() override { calls.push_back("exit 1"); }
    void RestartProcess() override { calls.push_back("restart, exit 2"); }
    bool IsConsoleProgram() override { return false; }

    std::int64_t now = 13'000'000'000;
    bool mainThreadAnswers = true;
    bool boxOffersChoice = false;
    AssistantOutcome assistantOutcome = AssistantOutcome::confirmed;
    // When the report becomes complete: while it is started, or while the handling finishes.
    bool completeOnStart = false, completeOnFinish = false;
    const HandlerLists* lists = nullptr;
    std::vector<std::string> calls;
};

// Handlers that log what they saw; each may set handled.
struct Log {
    std::vector<std::string> lines;
};

HandlerLists::Call Logging(Log& log, std::string name, bool sets = false) {
    return [&log, name, sets](TExceptAction action, ICrashException* exc, bool& handled) {
        log.lines.push_back(name + " " + std::to_string(static_cast<int>(exc ? exc->GetPhase() : TExceptPhase{})) +
                            "/" + std::to_string(static_cast<int>(action)));
        if (sets) handled = true;
    };
}

HandlerLists::Identity Method(int n) {
    static int objects[16];
    return {&objects[n], &objects[n]};
}
HandlerLists::Identity Procedure(int n) {
    static int codes[16];
    return {&codes[n], nullptr};
}

class ExceptionHandlingTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.streams[ScriptedHost::kProgram] = ShippedSettingsStream();
        platform.lists = &lists;
    }
    void TearDown() override { CrashSettings::SetMainSettings(nullptr); }

    RefPtr<CrashException> Exception(std::vector<std::u16string> chain, bool canContinue = true,
                                     TExceptType type = TExceptType::etNormal) {
        CrashExceptionFacts facts;
        facts.type = type;
        facts.canContinue = canContinue;
        facts.object.className = chain.empty() ? u"" : chain.front();
        facts.object.message = u"it failed!";
        facts.object.isOrDerives = [chain](std::u16string_view name) {
            for (const auto& c : chain)
                if (c == name) return true;
            return false;
        };
        return CrashException::Create(host, ScriptedHost::kProgram, facts);
    }
    void Process(CrashException& exc) {
        HandlingContext context{platform, lists, history, 77};
        ProcessException(context, exc);
    }

    ScriptedHost host;
    ScriptedPlatform platform;
    HandlerLists lists;
    ExceptTimeHistory history;
    Log log;
};

TEST_F(ExceptionHandlingTest, ExceptionHandlersRunInTheirPhaseMethodsFirstAndStopOnlyBeforePostProcessing) {
    for (TExceptPhase phase : {TExceptPhase::epQuickFiltering, TExceptPhase::epPostProcessing}) {
        lists.Register(HandlerEvent::exception, Method(0), Logging(log, "method-a", true), TSyncType::stDontSync, phase);
        lists.Register(HandlerEvent::exception, Method(1), Logging(log, "method-b"), TSyncType::stDontSync, phase);
        lists.Register(HandlerEvent::exception, Procedure(0), Logging(log, "procedure"), TSyncType::stDontSync, phase);
    }
    auto exc = Exception({u"EInOutError", u"Exception"});
    for (TExceptPhase phase : {TExceptPhase::epQuickFiltering, TExceptPhase::epMainPhase, TExceptPhase::epPostProcessing}) {
        TFireHandlersParams params;
        params.exc = exc.get();
        params.phase = phase;
        exc->SetPhase(phase);
        EXPECT_EQ(lists.FireHandlers(params), phase != TExceptPhase::epMainPhase);
    }
    EXPECT_EQ(log.lines, (std::vector<std::string>{"method-a 1/0", "method-a 3/0", "method-b 3/0"}))
        << "a handled exception skips the procedures; post-processing methods all run";
}

TEST_F(ExceptionHandlingTest, ActionAndHiddenHandlersAndTheSynchronisationSelection) {
    lists.Register(HandlerEvent::action, Procedure(1), Logging(log, "plain"), TSyncType::stDontSync, {});
    lists.Register(HandlerEvent::action, Procedure(2), Logging(log, "on-success"), TSyncType::stTrySyncCallOnSuccess, {});
    lists.Register(HandlerEvent::action, Procedure(3), Logging(log, "always"), TSyncType::stTrySyncCallAlways, {});
    lists.Register(HandlerEvent::action, Procedure(4), [](TExceptAction, ICrashException*, bool&) { throw 1; },
                   TSyncType::stDontSync, {});
    lists.Register(HandlerEvent::action, Procedure(5), Logging(log, "after-throw", true), TSyncType::stDontSync, {});
    lists.Register(HandlerEvent::action, Procedure(6), Logging(log, "never"), TSyncType::stDontSync, {});
    auto exc = Exception({u"Exception"});

    EXPECT_TRUE(FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaContinueApplication, false, *exc));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"plain 0/11", "after-throw 0/11"}))
        << "a throwing handler is swallowed; handled stops the list; handled skips the main thread";

    log.lines.clear();
    lists.Unregister(HandlerEvent::action, Procedure(5));
    FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaSendBugReport, false, *exc);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"plain 0/0", "never 0/0", "on-success 0/0", "always 0/0"}));

    log.lines.clear();
    platform.mainThreadAnswers = false;
    FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaSendBugReport, false, *exc);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"plain 0/0", "never 0/0", "always 0/0"}))
        << "without the main thread only stTrySyncCallAlways handlers run";

    lists.Register(HandlerEvent::hidden, Method(2), Logging(log, "hidden-a", true), TSyncType::stDontSync, {});
    lists.Register(HandlerEvent::hidden, Procedure(7), Logging(log, "hidden-b", true), TSyncType::stDontSync, {});
    log.lines.clear();
    EXPECT_TRUE(FireEvent(platform, lists, HandlerEvent::hidden, TExceptAction::eaSendBugReport, true, *exc));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"hidden-a 0/0", "hidden-b 0/0"}));
}

TEST_F(ExceptionHandlingTest, SendSaveAndPrintWithAParentRunTheirAssistantThenTheirSecondAction) {
    lists.Register(HandlerEvent::action, Procedure(1), Logging(log, "action"), TSyncType::stDontSync, {});
    auto exc = Exception({u"Exception"});
    int parent = 0;

    EXPECT_FALSE(FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaSendBugReport, false, *exc, &parent));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"action 0/0", "action 0/3"}));
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"assistant SendAssistant"}));

    log.lines.clear();
    platform.calls.clear();
    platform.assistantOutcome = AssistantOutcome::cancelled;
    EXPECT_TRUE(FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaPrintBugReport, false, *exc, &parent))
        << "a cancelled assistant counts as handled";
    EXPECT_EQ(log.lines, (std::vector<std::string>{"action 0/2"}));
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"assistant PrintAssistant"}));

    log.lines.clear();
    platform.calls.clear();
    exc->SetSaveAssistant(u"");
    FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaSaveBugReport, false, *exc, &parent);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"action 0/1", "action 0/4"})) << "no assistant set: no assistant";
    EXPECT_TRUE(platform.calls.empty());

    log.lines.clear();
    FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaSendBugReport, false, *exc);
    FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaContinueApplication, false, *exc, &parent);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"action 0/0", "action 0/11"}))
        << "without a parent window, and for other actions, nothing more happens";
    EXPECT_TRUE(platform.calls.empty());

    log.lines.clear();
    lists.Register(HandlerEvent::action, Method(3), Logging(log, "handles", true), TSyncType::stDontSync, {});
    EXPECT_TRUE(FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaSendBugReport, false, *exc, &parent));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"handles 0/0"})) << "a handled action runs no assistant";
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(ExceptionHandlingTest, FrozenReportsNeverCallTheMainThread) {
    lists.Register(HandlerEvent::action, Procedure(0), Logging(log, "always"), TSyncType::stTrySyncCallAlways, {});
    auto frozen = Exception({}, true, TExceptType::etFrozen);
    FireEvent(platform, lists, HandlerEvent::action, TExceptAction::eaSendBugReport, false, *frozen);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"always 0/0"}));
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(ExceptionHandlingTest, AnExceptionThatCannotContinueGoesThroughEveryPhaseAndCloses) {
    for (TExceptPhase phase : {TExceptPhase::epQuickFiltering, TExceptPhase::epMainPhase, TExceptPhase::epPostProcessing})
        lists.Register(HandlerEvent::exception, Procedure(static_cast<int>(phase)), Logging(log, "phase"),
                       TSyncType::stDontSync, phase);
    lists.Register(HandlerEvent::action, Procedure(8), Logging(log, "action"), TSyncType::stDontSync, {});
    auto exc = Exception({u"EAccessViolation", u"EExternal", u"Exception"}, false);
    Process(*exc);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"phase 1/0", "phase 2/0", "phase 3/0", "action 3/13"}));
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"delete temporary folder", "screenshot", "report", "show",
                                                        "finish, waiting", "exit 1", "finish"}));
    EXPECT_EQ(history.Times()[0], platform.now);
    EXPECT_EQ(exc->GetExceptMessage(), u"it failed.");
}

TEST_F(ExceptionHandlingTest, AContinuableExceptionContinuesAndAHandledOneStopsEarly) {
    lists.Register(HandlerEvent::action, Procedure(8), Logging(log, "action"), TSyncType::stDontSync, {});
    auto worker = Exception({u"Exception"}, true);
    Process(*worker);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"action 3/11"})) << "eaContinueApplication";
    EXPECT_EQ(platform.calls.back(), "finish");

    platform.boxOffersChoice = true;
    log.lines.clear();
    Process(*Exception({u"Exception"}, true));
    EXPECT_TRUE(log.lines.empty()) << "the box carried out the choice";

    lists.Register(HandlerEvent::exception, Procedure(1), Logging(log, "quick", true), TSyncType::stDontSync,
                   TExceptPhase::epQuickFiltering);
    platform.calls.clear();
    log.lines.clear();
    auto handled = Exception({u"Exception"}, true);
    Process(*handled);
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"delete temporary folder"}));
    EXPECT_EQ(handled->GetPhase(), TExceptPhase::epMainPhase);

    platform.calls.clear();
    Process(*Exception({u"Exception"}, false));
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"delete temporary folder", "finish, waiting", "exit 1"}))
        << "handled but unable to continue still closes";
}

TEST_F(ExceptionHandlingTest, TheEDBEditErrorFilterAndPausingFollowTheSettings) {
    lists.Register(HandlerEvent::exception, Procedure(1), Logging(log, "quick"), TSyncType::stDontSync,
                   TExceptPhase::epQuickFiltering);
    Process(*Exception({u"EDBEditError", u"Exception"}, true));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(platform.calls, (std::vector<std::string>{"delete temporary folder", "show", "finish"}));

    host.streams[ScriptedHost::kProgram] = StreamBuilder().Bool("PauseThreads", true).Int("ScrShotDepth", 0).End();
    platform.calls.clear();
    Process(*Exception({u"Exception"}, true));
    EXPECT_EQ(platform.calls,
              (std::vector<std::string>{"delete temporary folder", "pause except 77", "report", "show", "finish", "resume"}));
}

TEST_F(ExceptionHandlingTest, BurstRulesCloseOrRestartTheTenthExceptionWithinTheirSeconds) {
    host.streams[ScriptedHost::kProgram] = StreamBuilder().Int("AutoClose", 30).End();
    for (int i = 0; i < 10; ++i) {
        platform.calls.clear();
        Process(*Exception({u"Exception"}, true));
        bool closed = std::find(platform.calls.begin(), platform.calls.end(), "exit 1") != platform.calls.end();
        EXPECT_EQ(closed, i == 9) << "exception " << i + 1;
        platform.now += 2;
    }
    host.streams[ScriptedHost::kProgram] = StreamBuilder().Int("AutoRestart", 1).End();
    auto exc = Exception({u"Exception"}, false);
    EXPECT_EQ(AutomaticDecision(*exc, history, platform.now), HandlingDecision::restart);
    exc = nullptr;  // the module's block is loaded anew once nothing holds it
    host.streams[ScriptedHost::kProgram] = StreamBuilder().Int("AutoRestart", 1).Int("AutoClose", 1).End();
    EXPECT_EQ(AutomaticDecision(*Exception({}, true), history, platform.now), HandlingDecision::close);
}

TEST_F(ExceptionHandlingTest, HiddenExceptionsReachOnlyHiddenHandlersAndAreNotCounted) {
    lists.Register(HandlerEvent::hidden, Procedure(1), Logging(log, "hidden"), TSyncType::stDontSync, {});
    lists.Register(HandlerEvent::exception, Procedure(2), Logging(log, "exception"), TSyncType::stDontSync,
                   TExceptPhase::epQuickFiltering);
    Process(*Exception({u"Exception"}, true, TExceptType::etHidden));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"hidden 1/0"}));
    EXPECT_EQ(history.Times()[0], 0);
}

TEST_F(ExceptionHandlingTest, TheExceptionsOwnSettingsAndTexts) {
    auto exc = Exception({u"EInOutError"}, false);
    exc->SetCanContinue(true);
    EXPECT_FALSE(exc->GetCanContinue());
    exc->SetAutoSave(false);
    EXPECT_FALSE(exc->GetAutoSave());
    auto other = Exception({u"EInOutError"}, true);
    EXPECT_TRUE(other->GetAutoSave()) << "the module's settings stay as they are";
    other->SetCanContinue(false);
    other->SetCanContinue(true);
    EXPECT_TRUE(other->GetCanContinue());
    EXPECT_EQ(exc->GetExceptClass(), u"EInOutError");
    EXPECT_EQ(Exception({}, true, TExceptType::etFrozen)->GetExceptClass(), u"EFrozen");
    EXPECT_EQ(Exception({}, true)->GetExceptClass(), u"Unknown");
}

}  // namespace
}  // namespace brevant::crashreport

namespace brevant::crashreport {
namespace {

std::vector<std::string> callbackCalls;
void FirstCallback(bool complete, const std::u16string& report, ICrashException*) {
    callbackCalls.push_back(std::string("first ") + (complete ? "complete " : "partial ") +
                            std::string(report.begin(), report.end()));
}
void SecondCallback(bool, const std::u16string& report, ICrashException*) {
    callbackCalls.push_back("second " + std::string(report.begin(), report.end()));
}

class BugReportCallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        callbackCalls.clear();
        host.streams[ScriptedHost::kProgram] = ShippedSettingsStream();
        exc = CrashException::Create(host, ScriptedHost::kProgram, {});
    }
    void TearDown() override { CrashSettings::SetMainSettings(nullptr); }
    ScriptedHost host;
    RefPtr<CrashException> exc;
};

TEST_F(BugReportCallbackTest, RegisteringCallsAtOnceAndAgainOnlyChangesTheCriticalFlag) {
    exc->SetBugReport(u"header");
    exc->RegisterBugReportCallback(FirstCallback, false);
    EXPECT_EQ(callbackCalls, (std::vector<std::string>{"first partial header"}));
    EXPECT_FALSE(exc->CriticalBugReportCallbackExists());
    exc->RegisterBugReportCallback(FirstCallback, true);
    EXPECT_EQ(callbackCalls.size(), 1u) << "a known callback is not called again";
    EXPECT_TRUE(exc->CriticalBugReportCallbackExists());
    exc->RegisterBugReportCallback(SecondCallback, false);
    exc->SetBugReport(u"header and stack");
    EXPECT_EQ(callbackCalls, (std::vector<std::string>{"first partial header", "second header",
                                                       "first partial header and stack", "second header and stack"}));
    exc->UnregisterBugReportCallback(FirstCallback);
    EXPECT_FALSE(exc->CriticalBugReportCallbackExists());
}

TEST_F(BugReportCallbackTest, ChangesWhileUpdatingReachTheCallbacksOnceAtTheLastEnd) {
    exc->RegisterBugReportCallback(SecondCallback, false);
    callbackCalls.clear();
    exc->BeginUpdate();
    exc->BeginUpdate();
    exc->ReportModified();
    exc->ReportModified();
    exc->EndUpdate();
    EXPECT_TRUE(callbackCalls.empty());
    exc->EndUpdate();
    EXPECT_EQ(callbackCalls, (std::vector<std::string>{"second "}));
    exc->BeginUpdate();
    exc->EndUpdate();
    EXPECT_EQ(callbackCalls.size(), 1u) << "no change, no call";
}

TEST_F(BugReportCallbackTest, ATextBuiltWhileTheReportChangedIsNotCached) {
    const std::uint64_t start = exc->ReportChangeCount();
    exc->ReportModified();
    exc->CacheReportText(u"stale", start);
    EXPECT_EQ(exc->GetBugReport(), u"");
    exc->CacheReportText(u"fresh", exc->ReportChangeCount());
    EXPECT_EQ(exc->GetBugReport(), u"fresh");
}

TEST_F(ExceptionHandlingTest, AReportCompletedDuringPostProcessingGetsTheCompleteReportHandlersOnce) {
    lists.Register(HandlerEvent::exception, Procedure(2), Logging(log, "post"), TSyncType::stDontSync,
                   TExceptPhase::epPostProcessing);
    lists.Register(HandlerEvent::exception, Procedure(3), Logging(log, "complete"), TSyncType::stDontSync,
                   TExceptPhase::epCompleteReport);
    platform.completeOnFinish = true;
    auto late = Exception({u"EInOutError", u"Exception"}, false);
    Process(*late);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"post 3/0", "complete 4/0"}));

    // Complete before post-processing: post-processing runs as the complete-report phase.
    log.lines.clear();
    platform.completeOnFinish = false;
    platform.completeOnStart = true;
    auto early = Exception({u"EInOutError", u"Exception"}, false);
    Process(*early);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"complete 4/0"}));

    // A report completed after the handling ended fires nothing more.
    log.lines.clear();
    platform.completeOnStart = false;
    auto after = Exception({u"EInOutError", u"Exception"}, true);
    Process(*after);
    log.lines.clear();
    after->ReportCompleted();
    EXPECT_TRUE(log.lines.empty());
}

}  // namespace
}  // namespace brevant::crashreport
