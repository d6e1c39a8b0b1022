#pragma once

namespace lettermoor {

// Menu command ids. The numbers are those of the original menu resource; the list control
// shares 32774 with About but reports through notifications, so they never meet.
enum class CommandId : int {
  Open = 32771,
  Close = 32772,
  Exit = 32773,
  Undo = 57643,
  Cut = 57635,
  Copy = 57634,
  Paste = 57637,
  Search = 32794,
  ExpandRom = 32797,
  EditTptEntry = 32798,
  ViewDetails = 32780,
  DumpToTextFile = 32800,
  PointerTableListing = 32778,
  RawTextListing = 32779,
  ExpandedRomListing = 32799,
  DisplayTextAndCodes = 32795,
  DisplayCodesOnly = 32796,
  UseCompression = 32775,
  PreventOverwrites = 32776,
  CompressWithDictionary = 32801,  // our own: write dictionary words back as references
  Help = 32777,
  About = 32774,
  FindReferences = 32802,  // our own, as are those below
  MoveToFreeSpace = 32803,
  ExportScript = 32804,
  ImportScript = 32805,
  RevertToBackup = 32806,
  KeepBackup = 32807,
  CreatePatch = 32820,
  ApplyPatchToCopy = 32821,
  CheckConsistency = 32823,  // translations against the original ROM
  ReplaceInAllTexts = 32812,
  OriginalRom = 32830,  // the translation's source beside the open ROM
  ForgetOriginal = 32831,
  FindNextUntranslated = 32832,
  KeepChecksumRight = 32840,
  RunInEmulator = 32841,
  History = 32850,         // the changes written to the ROM, each of which can be undone
  UndoLastChange = 32851,
  CharacterTable = 32842,  // the translator's table of which byte is which letter
};

// The three labels under the list and the edit box.
enum class LabelId : int {
  Line = 1046,
  Size = 1047,
  CurrentSize = 1030,
};

enum class MessageIcon { None, Warning };

}  // namespace lettermoor
