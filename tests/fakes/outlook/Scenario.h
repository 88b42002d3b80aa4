// The fake Outlook's world, read from a scenario file the tests write (and may rewrite while the
// fake runs). One record per line, tab-separated, "key=value" fields after the record kind:
//
//   store   id=S1  name=Ann
//   folder  store=S1  path=Inbox\Sub  [id=F1] [nosort]
//   item    folder=F1  [id=..] [subject=..] [sender=..] [received=..] [senton=..] [unread=0|1]
//           [delivery=..] [submit=..] [msgid=..] [noaccessor] [kind=mail|meeting|report|post]
//           [address=..] [smtp=..] [body=..] [refuse]
//   hang    member=GetFolderFromID   (or member=Advise: every Advise blocks likewise)
//   events  [refuse] [noapp] [itemaddlimit=N]
//
// Each store has a root folder (its name, path "\\name"); folder paths are relative to it and
// missing parents are created. An item member that is not given does not exist on the item.
// Values: dates "YYYY-MM-DD HH:MM:SS"; "str:text" forces a string, "baddate" an
// unconvertible date.
// address is SenderEmailAddress (an X.500 path for an Exchange sender), smtp the accessor's
// PR_SENDER_SMTP_ADDRESS, body the plain Body (one line: the file has no escapes);
// refuse makes the guarded members (SenderName, SenderEmailAddress, Body, PropertyAccessor)
// fail as Outlook's object model guard does: an exception carrying E_ACCESSDENIED.
// Kinds (default mail) are Outlook's item classes. A report (ReportItem, a delivery report) has
// no SenderName, ReceivedTime or SentOn whatever its fields say: GetIDsOfNames answers
// DISP_E_UNKNOWNNAME and a DISPID learnt elsewhere DISP_E_MEMBERNOTFOUND, as Outlook's objects
// do; its "received" still places it in the sort, as the MAPI delivery time does in Outlook. A
// meeting request (MeetingItem) and a post (PostItem) have every member the reader uses.
// Events: Items and the application are connection point containers (ItemsEvents,
// ApplicationEvents_11). "events refuse" makes every Advise answer CONNECT_E_ADVISELIMIT;
// "events noapp" leaves the application without its connection point. When more than
// itemaddlimit (default 16) new items reach one folder at one look, that folder's sinks get no
// ItemAdd for them, as Outlook raises none for a large batch; NewMailEx still names them all.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <ole2.h>

#include <map>
#include <string>
#include <vector>

namespace wrenpost::fake_outlook {

// The "key=value" fields of a line; a flag has an empty value.
using Fields = std::map<std::wstring, std::wstring>;

struct Folder {
    std::size_t Store = 0;                                    // index into Scenario::Stores
    std::wstring Id{}, Name{}, FolderPath{}, RelativePath{};  // RelativePath: empty for the root
    Fields Flags{};
    std::vector<std::size_t> Children{}, Items{};
};

struct Scenario {
    std::vector<Fields> Stores, Items;
    std::vector<std::size_t> Roots;  // root folder per store
    std::vector<Folder> Folders;
    std::wstring HangMember;  // lower case
    Fields Events;            // flags of the "events" lines
};

// Lines that cannot be understood are ignored (the tests write the file).
Scenario ParseScenario(const std::wstring& text);

// A field's text as Outlook returns a value of type `plain` (the caller clears `out`).
void ToVariant(const std::wstring& text, VARTYPE plain, VARIANT& out);

}  // namespace wrenpost::fake_outlook
