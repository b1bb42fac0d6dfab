// The macro commands: the macros of the key store, and their encoding for the mouse.
#include <array>
#include <cstdio>
#include <ostream>

#include "cli/cli_session.h"
#include "cli/output_text.h"
#include "config/profiles.h"
#include "device/device_macro.h"
#include "keys/key_names.h"
#include "macro/macro_record.h"
#include "macro/macro_rows.h"
#include "macro/macro_store.h"
#include "platform/file_io.h"
#include "platform/key_store.h"
#include "platform/text.h"
#include "platform/utf8_path.h"

namespace z900::cli {
namespace {

using platform::Utf16ToUtf8;

std::unique_ptr<platform::KeyStore> OpenStore(CliSession& session) {
  return platform::CreateSystemKeyStore(session.context().paths.registry_root);
}

std::string IdText(std::uint32_t id) { return Utf16ToUtf8(macro::MacroSubkeyName(id)); }

std::string Quoted(std::u16string_view name) { return "\"" + TerminalText(name) + "\""; }

// Checks the argument count and the id in args[0]; kExitOk or the usage error.
int ParseArguments(CliSession& session, std::span<const std::string> args, std::size_t count,
                   std::string_view usage, std::uint32_t& id) {
  if (args.size() != count) return session.Fail(kExitUsage, "usage: z900ctl " + std::string(usage));
  const std::optional<std::uint32_t> parsed = macro::ParseMacroId(args[0]);
  if (!parsed) {
    return session.Fail(kExitUsage,
                        "ID must be a macro id in hex as \"macro list\" prints it, "
                        "such as 00a1b2c3");
  }
  id = *parsed;
  return kExitOk;
}

std::string RowLabel(const macro::MacroRow& row) {
  switch (row.kind()) {
    case macro::kRowKeyDown:
      return "down ";
    case macro::kRowKeyUp:
      return "up   ";
    case macro::kRowDelay:
      return "delay";
    default:
      return "?    ";
  }
}

int RunList(CliSession& session, std::span<const std::string> args) {
  if (!args.empty()) return session.Fail(kExitUsage, "usage: z900ctl macro list");
  auto store = OpenStore(session);
  for (const macro::MacroListEntry& entry : macro::ListMacros(*store)) {
    session.out() << IdText(entry.id) << "  " << TerminalText(entry.name) << '\n';
  }
  return kExitOk;
}

int RunShow(CliSession& session, std::span<const std::string> args) {
  std::uint32_t id = 0;
  if (int code = ParseArguments(session, args, 1, "macro show ID", id); code != kExitOk) {
    return code;
  }
  auto store = OpenStore(session);
  std::string why;
  const std::optional<macro::MacroRecord> record = macro::LoadMacro(*store, id, &why);
  if (!record) return session.Fail(kExitFailed, why);
  const macro::LoadedMacro loaded = macro::LoadMacroToList(*record);
  session.out() << "macro " << IdText(id) << ": " << TerminalText(macro::MacroName(*record)) << '\n'
                << "loop count: " << TerminalText(loaded.loop_text) << '\n';
  for (std::size_t i = 0; i < loaded.rows.size(); ++i) {
    const macro::MacroRow& row = loaded.rows[i];
    char number[32];
    std::snprintf(number, sizeof number, "%4zu  ", i + 1);
    std::string text = Utf16ToUtf8(row.text);
    if (text.empty()) {  // a key the name table does not hold
      char code[16];
      std::snprintf(code, sizeof code, "[0x%02x]", row.value());
      text = code;
    }
    session.out() << number << RowLabel(row) << "  " << text << '\n';
  }
  if (loaded.stopped_at) {
    char kind[8];
    std::snprintf(kind, sizeof kind, "%02x", macro::EventKind(record->events[*loaded.stopped_at]));
    session.err() << "z900ctl: warning: the macro ends early: event " << *loaded.stopped_at + 1
                  << " has the kind 0x" << kind << ", which is not a macro event\n";
  }
  return kExitOk;
}

int RunImport(CliSession& session, std::span<const std::string> args) {
  constexpr std::string_view kUsage = "usage: z900ctl macro import FILE [--replace]";
  const bool replace = args.size() == 2 && args[1] == "--replace";
  if (args.empty() || args.size() > 2 || (args.size() == 2 && !replace)) {
    return session.Fail(kExitUsage, kUsage);
  }
  std::vector<std::uint8_t> bytes;
  if (const std::error_code error = platform::ReadWholeFile(platform::PathFromUtf8(args[0]),
                                                            sizeof(macro::MacroRecord), bytes)) {
    if (error == std::errc::file_too_large) {
      return session.Fail(kExitFailed, args[0] + " is not a macro record: it is larger than the " +
                                           std::to_string(sizeof(macro::MacroRecord)) +
                                           " bytes a macro may take (" +
                                           std::to_string(macro::kMaxMacroEvents) + " events)");
    }
    return session.Fail(kExitFailed, "cannot read " + args[0] + ": " + error.message());
  }
  std::string why;
  std::optional<macro::MacroRecord> record = macro::ParseMacroFile(bytes, why);
  if (!record) return session.Fail(kExitFailed, args[0] + " is not a macro record: " + why);

  // Decided under the store lock, so of several imports of one id exactly one stores it.
  auto store = OpenStore(session);
  if (!replace && macro::IsMacroIdTaken(*store, record->id)) {
    return session.Fail(
        kExitFailed, "macro " + IdText(record->id) + " is stored already; --replace overwrites it");
  }
  if (!macro::SaveMacro(*store, *record, &why)) return session.Fail(kExitFailed, why);
  session.out() << "imported macro " << IdText(record->id) << ' '
                << Quoted(macro::MacroName(*record)) << '\n';
  return kExitOk;
}

int RunExport(CliSession& session, std::span<const std::string> args) {
  std::uint32_t id = 0;
  if (int code = ParseArguments(session, args, 2, "macro export ID FILE", id); code != kExitOk) {
    return code;
  }
  auto store = OpenStore(session);
  std::string why;
  const std::optional<macro::MacroRecord> record = macro::LoadMacro(*store, id, &why);
  if (!record) return session.Fail(kExitFailed, why);
  if (!macro::IsWellFormed(*record, why)) {
    return session.Fail(kExitFailed, "macro " + IdText(id) + " is damaged: " + why);
  }
  // The user's own file, wherever they put it: its mode is theirs to choose.
  if (const std::error_code error = platform::WriteFileAtomically(
          platform::PathFromUtf8(args[1]), macro::MacroRecordBytes(*record), {}, platform::FileAccess::kKeepMode)) {
    return session.Fail(kExitFailed, "cannot write " + args[1] + ": " + error.message());
  }
  return kExitOk;
}

int RunDelete(CliSession& session, std::span<const std::string> args) {
  std::uint32_t id = 0;
  if (int code = ParseArguments(session, args, 1, "macro delete ID", id); code != kExitOk) {
    return code;
  }
  auto store = OpenStore(session);
  std::string why;
  const std::optional<config::ProfileTable> table = config::ReadStoredProfileTable(*store, why);
  if (!table) {
    return session.Fail(kExitFailed, why + ", so whether a profile uses macro " + IdText(id) +
                                         " is unknown; it is not deleted");
  }
  if (config::IsMacroAssigned(*table, id)) {
    // The refusal the macro page gives, in the user's language.
    session.LoadLanguage();
    const std::u16string& message = session.context().Text(i18n::StringKey::str_macro_msg8);
    return session.Fail(kExitFailed, "macro " + IdText(id) + ": " +
                                         (message.empty() ? "a profile assigns it to a button"
                                                          : Utf16ToUtf8(message)));
  }
  if (!macro::DeleteMacro(*store, id, &why)) return session.Fail(kExitFailed, why);
  return kExitOk;
}

int RunRename(CliSession& session, std::span<const std::string> args) {
  std::uint32_t id = 0;
  if (int code = ParseArguments(session, args, 2, "macro rename ID NAME", id); code != kExitOk) {
    return code;
  }
  const std::u16string name = platform::Utf8ToUtf16(args[1]);
  auto store = OpenStore(session);
  std::string why;
  if (macro::RenameMacro(*store, id, name, &why) != macro::RenameResult::kRenamed) {
    return session.Fail(kExitFailed, why);
  }
  if (name.size() > macro::kMaxNameUnits) {
    const std::optional<macro::MacroRecord> record = macro::LoadMacro(*store, id);
    if (record) {
      session.err() << "z900ctl: warning: the name is cut to " << Quoted(macro::MacroName(*record))
                    << " (19 characters at most)\n";
    }
  }
  return kExitOk;
}

// Why the mouse cannot play a record.
std::string EncodeFailure(const device::EncodeResult& result) {
  const std::string event = "event " + std::to_string(result.event_index + 1);
  char hex[16];
  switch (result.error) {
    case device::EncodeError::kNone:
      break;
    case device::EncodeError::kTruncated:
      return "the record is cut short";
    case device::EncodeError::kNotAMacroRecord:
      return "it is not a macro record";
    case device::EncodeError::kKeyNotEncodable: {
      const std::uint32_t key = macro::EventValue(result.event);
      std::snprintf(hex, sizeof hex, "0x%02x", key);
      std::string name = Utf16ToUtf8(keys::GetMacroKeyName(key));
      name = name.empty() ? std::string("the key ") + hex : name + " (" + hex + ")";
      return event + " uses " + name + ", which the mouse cannot play";
    }
    case device::EncodeError::kUnknownEventKind:
      std::snprintf(hex, sizeof hex, "0x%02x", macro::EventKind(result.event));
      return event + " has the kind " + hex + ", which is not a macro event";
    case device::EncodeError::kTooManyKeyEvents:
      return "it has more than " + std::to_string(device::kMaxDeviceKeyEvents) +
             " key presses and releases, the most a mouse macro holds";
  }
  return "unknown encoding error";
}

int RunEncode(CliSession& session, std::span<const std::string> args) {
  std::uint32_t id = 0;
  if (int code = ParseArguments(session, args, 1, "macro encode ID", id); code != kExitOk) {
    return code;
  }
  auto store = OpenStore(session);
  std::string why;
  const std::optional<macro::MacroRecord> record = macro::LoadMacro(*store, id, &why);
  if (!record) return session.Fail(kExitFailed, why);
  device::DeviceMacro block;
  const device::EncodeResult result = device::EncodeMacro(macro::MacroRecordBytes(*record), block);
  if (!result) {
    return session.Fail(kExitFailed,
                        "macro " + IdText(id) + " cannot be encoded: " + EncodeFailure(result));
  }
  PrintHexLines(session.out(), 0, block.Block());
  if (result.capped_pauses > 0) {
    session.err() << "z900ctl: warning: " << result.capped_pauses
                  << " pause(s) of 327680 ms or more shortened to " << device::kMaxPauseMs
                  << " ms, the longest the mouse plays\n";
  }
  return kExitOk;
}

constexpr std::array kCommands = {
    Command{"macro list", "", "list the stored macros: id and name", &RunList, StoreAccess::kRead},
    Command{"macro show", "ID", "show a macro's loop count and rows", &RunShow, StoreAccess::kRead},
    Command{"macro import", "FILE [--replace]", "store the macro record in FILE", &RunImport,
            StoreAccess::kChange},
    Command{"macro export", "ID FILE", "write a macro's record into FILE", &RunExport,
            StoreAccess::kRead},
    Command{"macro delete", "ID", "delete a stored macro that no profile uses", &RunDelete,
            StoreAccess::kChange},
    Command{"macro rename", "ID NAME", "rename a macro (19 characters at most)", &RunRename,
            StoreAccess::kChange},
    Command{"macro encode", "ID", "show the block the mouse plays a macro from, in hex", &RunEncode,
            StoreAccess::kRead},
};

}  // namespace

std::span<const Command> MacroCommands() { return kCommands; }

}  // namespace z900::cli
