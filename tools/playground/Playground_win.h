// The playground: a sample mailbox for the fake Outlook and a sample Telegram user for the fake
// Bot API, so the program can be tried, toured and tested without Outlook or Telegram.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace wrenpost::testing {

// Two stores; Ann's Inbox with two sub-folders and a few older mails.
std::wstring SampleMailbox();

// Appends a mail delivered now to the scenario file. The folder is a path as the tree shows it
// below its store ("Inbox\Orders", "/" also accepted), looked up in every store; empty means
// the first Inbox. False, with a one-line reason, for an empty subject, an unknown folder or a
// scenario that cannot be read or written.
bool AddPlaygroundMail(const std::filesystem::path& scenario, const std::wstring& subject,
                       const std::wstring& from, const std::wstring& folder, std::wstring& error);

// The update service's manifest for this build: this very version ("up to date"), or with
// `newer` the next minor version, so About's "Check for Updates" offers it.
std::string PlaygroundUpdateManifest(bool newer);

// An update (for FakeBotApiServer::AddUpdate) in which the sample user writes `text` to the bot
// now.
std::string SampleUserUpdate(std::int64_t updateId, const std::wstring& text);

}  // namespace wrenpost::testing
