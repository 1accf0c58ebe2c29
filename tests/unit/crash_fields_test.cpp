#include "crashreport/report/crash_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/utf16_text.h"

namespace brevant::crashreport {
namespace {

std::string U8(std::u16string_view text) {
    return ToUtf8(text);
}

struct RecordingExceptionOwner : ExceptionFieldsOwner {
    void BeginUpdate() override { events += "begin "; }
    void EndUpdate() override { events += "end "; }
    void SetModified() override { events += "modified "; }
    std::string events;
};

struct RecordingSettingsOwner : SettingsFieldsOwner {
    void WriteAddFields(std::u16string_view text) override { writes.emplace_back(text); }
    std::vector<std::u16string> writes;
};

RefPtr<CrashFields> AcceptingList(SettingsFieldsOwner* settingsOwner = nullptr) {
    RefPtr<CrashFields> fields = CrashFields::Create(nullptr, settingsOwner);
    fields->AcceptData();
    return fields;
}

RefPtr<CrashFields> ListOf(std::initializer_list<CrashField> pairs) {
    RefPtr<CrashFields> fields = AcceptingList();
    for (const CrashField& pair : pairs) fields->Add(pair.name, pair.content);
    return fields;
}

// "name=content|..." as the settings owner would receive it, for compact expectations.
std::u16string Listing(ICrashFields& fields) {
    std::u16string text;
    for (int i = 0; i < fields.GetItemCount(); ++i) {
        const std::u16string name = fields.GetItem(i);
        text += (i ? u"|" : u"") + name + u"=" + fields.GetContent(name);
    }
    return text;
}

TEST(CrashFieldsTest, SetContentTrimsAndDeletesOnEmptyContent) {
    const struct {
        std::u16string content, expected;
    } cases[] = {
        {u"value", u"value"},
        {u"  value \r\n", u"value"},
        {u"\t\x01value\x1F ", u"value"},
        {u"two  words", u"two  words"},
        {u"\u00A0value\u00A0", u"\u00A0value\u00A0"},  // no-break space is above 32
        {u"", u""},
        {std::u16string(u" \r\n\0\x1F", 5), u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.content));
        RefPtr<CrashFields> fields = ListOf({{u"before", u"1"}, {u"field", u"old"}, {u"after", u"2"}});
        fields->SetContent(u"field", c.content);
        EXPECT_EQ(fields->GetContent(u"field"), c.expected);
        EXPECT_EQ(fields->GetItemCount(), c.expected.empty() ? 2 : 3);
        EXPECT_EQ(fields->FindItem(u"field"), c.expected.empty() ? -1 : 1);
    }
}

TEST(CrashFieldsTest, NamesMatchUnderTheReportersCaseFolding) {
    const struct {
        std::u16string stored, asked;
        bool same;
    } cases[] = {
        {u"Exception Class", u"exception class", true},
        {u"\u00C4rger", u"\u00E4rger", true},
        {u"\u008A", u"\u009A", true},
        {u"\u008C\u008E", u"\u009C\u009E", true},
        {u"\u009F", u"\u00FF", true},
        {u"\u00D7", u"\u00F7", false},  // the multiplication sign has no lower case
        {u"\u0100", u"\u0101", false},  // beyond the table nothing folds
        {u"user", u"user ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.stored + u" / " + c.asked));
        RefPtr<CrashFields> fields = ListOf({{u"first", u"1"}, {c.stored, u"stored"}});
        EXPECT_EQ(fields->FindItem(c.asked), c.same ? 1 : -1);
        EXPECT_EQ(fields->GetContent(c.asked), c.same ? u"stored" : u"");
        EXPECT_EQ(fields->GetItem(2) + fields->GetItem(-1), u"");
        fields->SetContent(c.asked, u"new");
        EXPECT_EQ(fields->GetItemCount(), c.same ? 2 : 3);
        EXPECT_EQ(fields->GetItem(c.same ? 1 : 2), c.asked);  // replaced with the new spelling, or appended
        EXPECT_EQ(fields->GetContent(c.stored), c.same ? u"new" : u"stored");
    }
}

TEST(CrashFieldsTest, SetContentReplacesOnlyWhenContentOrSpellingChanges) {
    RecordingSettingsOwner owner;
    RefPtr<CrashFields> fields = AcceptingList(&owner);
    const struct {
        std::u16string name, content;
        std::vector<std::u16string> newWrites;
    } steps[] = {
        {u"build", u"1.2", {u"build=1.2"}},
        {u"build", u"1.2", {}},
        {u"build", u"  1.2\r\n", {}},
        {u"BUILD", u"1.2", {u"BUILD=1.2"}},
        {u"BUILD", u"1.3", {u"BUILD=1.3"}},
        {u"user", u"ann", {u"BUILD=1.3|user=ann"}},
        {u"missing", u"", {}},
        {u"build", u" ", {u"user=ann"}},
        {u"user", u"", {u""}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(U8(step.name + u"=" + step.content));
        owner.writes.clear();
        fields->SetContent(step.name, step.content);
        EXPECT_EQ(owner.writes, step.newWrites);
    }
}

TEST(CrashFieldsTest, NothingIsStoredBeforeAcceptData) {
    RecordingExceptionOwner owner;
    RefPtr<CrashFields> fields = CrashFields::Create(&owner);
    fields->SetContent(u"a", u"1");
    fields->Add(u"b", u"2");
    fields->Insert(0, u"c", u"3");
    EXPECT_EQ(fields->GetItemCount(), 0);
    EXPECT_EQ(owner.events.find("modified"), std::string::npos);

    fields->AcceptData();
    fields->SetContent(u"a", u"1");
    fields->Add(u"b", u"2");
    fields->Insert(0, u"c", u"3");
    EXPECT_EQ(Listing(*fields), u"c=3|a=1|b=2");
}

TEST(CrashFieldsTest, InsertPlacesMovesAndShiftsTheAddIndex) {
    const struct {
        const char* what;
        int addIndex, position;
        std::u16string name, content;
        std::u16string expected;  // the list after Insert and then SetContent(u"new", u"N")
    } cases[] = {
        {"new name in the middle", 0, 1, u"x", u"X", u"a=A|x=X|b=B|c=C|new=N"},
        {"position below zero", 0, -5, u"x", u"X", u"x=X|a=A|b=B|c=C|new=N"},
        {"position beyond the end", 0, 99, u"x", u"X", u"a=A|b=B|c=C|x=X|new=N"},
        {"existing name moves down", 0, 3, u"A", u"A", u"b=B|c=C|A=A|new=N"},
        {"existing name moves up", 0, 0, u"c", u"C", u"c=C|a=A|b=B|new=N"},
        {"same place, same content", 0, 1, u"b", u"B", u"a=A|b=B|c=C|new=N"},
        {"same place, new content", 0, 1, u"b", u"B2", u"a=A|b=B2|c=C|new=N"},
        {"empty content inserts nothing", 0, 0, u"b", u" \r\n", u"a=A|b=B|c=C|new=N"},
        {"before the add index", 2, 1, u"x", u"X", u"a=A|x=X|b=B|new=N|c=C"},
        {"at the add index", 2, 2, u"x", u"X", u"a=A|b=B|x=X|new=N|c=C"},
        {"after the add index", 2, 3, u"x", u"X", u"a=A|b=B|new=N|c=C|x=X"},
        {"moved from before the add index", 2, 3, u"a", u"A", u"b=B|new=N|c=C|a=A"},
        {"moved across the add index", 1, 0, u"c", u"C", u"c=C|a=A|new=N|b=B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RefPtr<CrashFields> fields = ListOf({{u"a", u"A"}, {u"b", u"B"}, {u"c", u"C"}});
        fields->SetAddIndex(c.addIndex);
        fields->Insert(c.position, c.name, c.content);
        fields->SetContent(u"new", u"N");
        EXPECT_EQ(Listing(*fields), c.expected);
    }
}

TEST(CrashFieldsTest, NewNamesGoToTheAddIndexAndKeepTheirOrder) {
    RefPtr<CrashFields> fields = ListOf({{u"date/time", u"now"}, {u"callstack crc", u"soon"}});
    fields->SetAddIndex(1);
    fields->Add(u"contact name", u"Ann");
    fields->Add(u"contact email", u"ann@example.com");
    fields->Add(u"date/time", u"later");  // present: replaced in place
    EXPECT_EQ(Listing(*fields), u"date/time=later|contact name=Ann|contact email=ann@example.com|callstack crc=soon");

    fields->SetAddIndex(9);  // beyond the end: appended
    fields->Add(u"z", u"last");
    EXPECT_EQ(fields->GetItem(4), u"z");
}

TEST(CrashFieldsTest, DeleteMovesTheAddIndexOnlyForPairsBeforeIt) {
    const struct {
        const char* what;
        int addIndex, deleted;
        std::u16string expected;  // after deleting and then SetContent(u"new", u"N")
    } cases[] = {
        {"before the add index", 2, 0, u"b=B|new=N|c=C|d=D"},
        {"at the add index", 2, 2, u"a=A|b=B|new=N|d=D"},
        {"after the add index", 2, 3, u"a=A|b=B|new=N|c=C"},
        {"add index drops to zero and appends", 1, 0, u"b=B|c=C|d=D|new=N"},
        {"appending list", 0, 0, u"b=B|c=C|d=D|new=N"},
        {"index out of range", 2, 4, u"a=A|b=B|new=N|c=C|d=D"},
        {"negative index", 2, -1, u"a=A|b=B|new=N|c=C|d=D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RefPtr<CrashFields> fields = ListOf({{u"a", u"A"}, {u"b", u"B"}, {u"c", u"C"}, {u"d", u"D"}});
        fields->SetAddIndex(c.addIndex);
        fields->Delete(c.deleted);
        fields->SetContent(u"new", u"N");
        EXPECT_EQ(Listing(*fields), c.expected);
    }
}

TEST(CrashFieldsTest, DeleteByNameFoldsCaseAndIgnoresUnknownNames) {
    RecordingSettingsOwner owner;
    RefPtr<CrashFields> fields = AcceptingList(&owner);
    fields->Add(u"\u00C4nderung", u"1");
    fields->Add(u"other", u"2");
    owner.writes.clear();
    fields->Delete(u"nothing");
    EXPECT_TRUE(owner.writes.empty());
    fields->Delete(u"\u00E4NDERUNG");
    EXPECT_EQ(owner.writes, std::vector<std::u16string>{u"other=2"});
}

TEST(CrashFieldsTest, SetItemRenamesWithoutBreakingUniqueness) {
    const struct {
        int index;
        std::u16string name, expected;
        std::size_t writes;
    } cases[] = {
        {0, u"thread $1a", u"thread $1a=t|modules=m", 1},
        {0, u"Main Thread", u"Main Thread=t|modules=m", 1},
        {0, u"main thread", u"main thread=t|modules=m", 0},
        {0, u"MODULES", u"main thread=t|modules=m", 0},  // another item's name
        {1, u"Modules", u"main thread=t|Modules=m", 1},
        {2, u"x", u"main thread=t|modules=m", 0},
        {-1, u"x", u"main thread=t|modules=m", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.name));
        RecordingSettingsOwner owner;
        RefPtr<CrashFields> fields = CrashFields::FromAddFields(u"main thread=t|modules=m", &owner);
        fields->SetItem(c.index, c.name);
        EXPECT_EQ(Listing(*fields), c.expected);
        EXPECT_EQ(owner.writes.size(), c.writes);
    }
}

TEST(CrashFieldsTest, CapacityStartsAtSixteenAndGrowsByHalf) {
    RefPtr<CrashFields> fields = AcceptingList();
    const struct {
        int count;
        std::size_t capacity;
    } steps[] = {{1, 16}, {16, 16}, {17, 24}, {24, 24}, {25, 36}, {37, 54}};
    int added = 0;
    for (const auto& step : steps) {
        while (added < step.count) {
            fields->Add(u"field " + DecimalText(added), u"x");
            ++added;
        }
        EXPECT_EQ(fields->Capacity(), step.capacity) << step.count << " pairs";
    }
    fields->Delete(0);
    EXPECT_EQ(fields->Capacity(), 54u);
}

TEST(CrashFieldsTest, CloneIsAnIndependentAcceptingCopyWithoutOwners) {
    RecordingExceptionOwner owner;
    RefPtr<CrashFields> original = CrashFields::Create(&owner);
    original->AcceptData();
    original->Add(u"a", u"A");
    original->Add(u"b", u"B");
    original->SetAddIndex(1);
    original->Add(u"c", u"C");
    owner.events.clear();

    RefPtr<ICrashFields> copy = original->Clone();
    EXPECT_EQ(Listing(*copy), u"a=A|c=C|b=B");
    owner.events.clear();
    copy->Add(u"d", u"D");        // appended: the add index stays with the original
    copy->SetContent(u"a", u"");  // and the original keeps its pair
    EXPECT_EQ(owner.events, "");
    original->SetContent(u"b", u"changed");
    EXPECT_EQ(Listing(*copy), u"c=C|b=B|d=D");
    EXPECT_EQ(Listing(*original), u"a=A|c=C|b=changed");
}

TEST(CrashFieldsTest, ExceptionOwnerSeesEachOperationBracketedAndABatchAsOne) {
    RecordingExceptionOwner owner;
    RefPtr<CrashFields> fields = CrashFields::Create(&owner);
    fields->AcceptData();
    owner.events.clear();

    fields->Add(u"a", u"1");
    EXPECT_EQ(owner.events, "begin modified end ");

    owner.events.clear();
    fields->Add(u"a", u"1");
    EXPECT_EQ(owner.events, "begin end ");

    owner.events.clear();
    {
        CrashFieldsBatch batch(*fields);
        fields->Add(u"b", u"2");
        fields->Delete(u"a");
    }
    EXPECT_EQ(owner.events, "begin begin modified end begin begin modified end end end ");

    owner.events.clear();
    fields->ClearExcParent();
    fields->Add(u"c", u"3");
    EXPECT_EQ(owner.events, "");
    EXPECT_EQ(Listing(*fields), u"b=2|c=3");
}

TEST(CrashFieldsTest, ClearMesParentStopsTheAddFieldsRewrite) {
    RecordingSettingsOwner owner;
    RefPtr<CrashFields> fields = AcceptingList(&owner);
    fields->Add(u"a", u"1");
    fields->ClearMesParent();
    fields->Add(u"b", u"2");
    EXPECT_EQ(owner.writes, std::vector<std::u16string>{u"a=1"});
}

TEST(CrashFieldsTest, AnswersQueriesForItsTwoFaces) {
    RefPtr<CrashFields> fields = CrashFields::Create();
    void* face = nullptr;
    ASSERT_EQ(fields->QueryInterface(kCrashFieldsControlId, &face), kInterfaceFound);
    RefPtr<ICrashFieldsControl> control = RefPtr<ICrashFieldsControl>::Adopt(static_cast<ICrashFieldsControl*>(face));
    control->AcceptData();
    fields->Add(u"a", u"1");
    EXPECT_EQ(fields->GetItemCount(), 1);

    ASSERT_EQ(control->QueryInterface(kCrashFieldsId, &face), kInterfaceFound);
    EXPECT_EQ(face, static_cast<ICrashFields*>(fields.get()));
    static_cast<ICrashFields*>(face)->Release();
    ASSERT_EQ(control->QueryInterface(kReferenceCountedId, &face), kInterfaceFound);
    EXPECT_EQ(face, static_cast<ICrashFields*>(fields.get()));
    static_cast<ICrashFields*>(face)->Release();

    const InterfaceId unknown = {0x12345678, 0, 0, {}};
    face = &face;
    EXPECT_EQ(fields->QueryInterface(unknown, &face), kInterfaceMissing);
    EXPECT_EQ(face, nullptr);

    // Three holders now: fields, control and this extra one.
    EXPECT_EQ(fields->AddRef(), 3u);
    EXPECT_EQ(fields->Release(), 2u);
}

TEST(CrashFieldsTest, ConcurrentWritersLoseNothing) {
    RefPtr<CrashFields> fields = AcceptingList();
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 4; ++writer) {
        writers.emplace_back([&fields, writer] {
            for (int i = 0; i < 200; ++i) fields->Add(DecimalText(writer) + u"/" + DecimalText(i), u"x");
        });
    }
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(fields->GetItemCount(), 800);
    EXPECT_EQ(fields->GetContent(u"3/199"), u"x");
}

TEST(CrashFieldsTest, AddFieldsTextFillsTheListInOrder) {
    const struct {
        std::u16string text, expected;
    } cases[] = {
        {u"", u""},
        {u"customer=ACME Corp|ticket=4711", u"customer=ACME Corp|ticket=4711"},
        {u"query=a=b&c=d", u"query=a=b&c=d"},
        {u" build = 2.1.0 |\r\nbranch=main\r\n", u"build=2.1.0|branch=main"},
        {u"a=1|just words|=orphan|b=2", u"a=1|b=2"},
        {u"a=1||b=2|", u"a=1|b=2"},
        {u"a=1|empty=|b=2", u"a=1|b=2"},
        {u"Stage=alpha|stage=beta", u"stage=beta"},
        {u"a=1|b=2|a=", u"b=2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.text));
        RefPtr<CrashFields> fields = AcceptingList();
        FillFromAddFields(*fields, c.text);
        EXPECT_EQ(Listing(*fields), c.expected);
    }
}

TEST(CrashFieldsTest, SettingsListIsBuiltSilentlyAndRewrittenOnLaterChanges) {
    RecordingSettingsOwner owner;
    RefPtr<CrashFields> fields = CrashFields::FromAddFields(u"customer=ACME|ticket=4711", &owner);
    EXPECT_TRUE(owner.writes.empty());
    EXPECT_EQ(fields->GetContent(u"TICKET"), u"4711");

    fields->Add(u"MailFrom", u"Ann <ann@example.com>");
    fields->Add(u"ticket", u"4711");
    fields->Insert(0, u"ticket", u"4712");
    fields->Insert(0, u"ticket", u" 4712 ");  // already there: no rewrite
    EXPECT_EQ(owner.writes, (std::vector<std::u16string>{
                                u"customer=ACME|ticket=4711|MailFrom=Ann <ann@example.com>",
                                u"ticket=4712|customer=ACME|MailFrom=Ann <ann@example.com>",
                            }));
}

}  // namespace
}  // namespace brevant::crashreport
