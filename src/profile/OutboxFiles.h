// The names of a profile's outbox on disk: the folder beside the profile files and the files in
// it. Shared by the monitor, which keeps the outbox, and the clean-ups, which must know it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace wrenpost {

// <profile folder>\<profile name>Outbox
std::filesystem::path OutboxFolder(const std::filesystem::path& profileFolder,
                                   const std::wstring& profileName);
bool IsOutboxFolderName(const std::wstring& name);

// "0000000000000017.json": one waiting notification, named by its sequence number.
std::wstring OutboxRecordName(std::int64_t sequence);
bool IsOutboxRecordName(const std::wstring& name, std::int64_t* sequence = nullptr);
// A record, the session record, a record set aside as unreadable, or a temporary of a write.
bool IsOutboxFileName(const std::wstring& name);

std::vector<std::filesystem::path> OutboxRecordFiles(const std::filesystem::path& outboxFolder);
// Records in every outbox folder directly inside `profileFolder`.
std::size_t CountWaitingRecords(const std::filesystem::path& profileFolder);

}  // namespace wrenpost
