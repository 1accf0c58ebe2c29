#pragma once
// The stored form of the passwords in the settings block (SmtpPassword, HttpPassword,
// BugTrPassword). It is obfuscation, not secrecy: the key is the server name and the account,
// both stored beside the password in the same block, so anyone holding the file can undo it.
// It only keeps a password from being read at a glance in a resource viewer.
//
// Each UTF-16 unit of the password is mixed with a keystream derived from server and account
// and written as four lower-case hexadecimal digits, so the result is plain text that fits a
// text property.

#include <string>
#include <string_view>

namespace brevant::crashreport {

std::u16string EncipherSettingsPassword(std::u16string_view plain, std::u16string_view server,
                                        std::u16string_view account);

// A stored text that is not in the enciphered form (not groups of four hexadecimal digits) is
// returned as it is, so a password written in plain text still works.
std::u16string DecipherSettingsPassword(std::u16string_view stored, std::u16string_view server,
                                        std::u16string_view account);

}  // namespace brevant::crashreport
