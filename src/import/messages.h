#pragma once
// The string table: every message the program shows, by id.

#include <string>

namespace tvx {

enum MessageId : int {
    kMsgStartImport = 32772,
    kMsgStopImport = 32773,
    kMsgDisplayErrorFile = 32776,
    kMsgOprCallRequired = 32777,
    kMsgProgramPathEmpty = 32778,
    kMsgProgramPathHasMdb = 32779,
    kMsgTargetNotOpen = 32780,
    kMsgNotAdifQuestion = 32781,
    kMsgRefdataChosenAsTarget = 32782,
    kMsgArrlIdTable = 32783,
    kMsgLotwFileAsStandard = 32784,
    kMsgNotLotwFile = 32785,
    kMsgSourceNotOpen = 61446,
    kMsgAbortQuestion = 61447,
    kMsgBackupQuestion = 61448,
    kMsgSelectSourceType = 61449,
    kMsgSourceFileNotOpen = 61452,
    kMsgInitializeTables = 61458,
    kMsgSourceEmpty = 61460,
    // Messages of this program that the string table lacked.
    kMsgReaderMissing = 40001,
    kMsgErrorFileNotCreated = 40002,
    kMsgReferenceNotOpen = 40003,
    kMsgEngineError = 40004,
    kMsgNoImportRunYet = 40005,
    // The box that shows the engine's description when a database source
    // (StationMaster, dBASE) cannot be opened.
    kMsgSourceDatabaseError = 40006,
    // The box that shows the engine's description when the target chosen at
    // start-up cannot be opened (Begin Import later refuses: the target is not open).
    kMsgTargetDatabaseError = 40007,
    // The target could not keep the last batch of contacts: the run ends.
    kMsgCommitFailed = 40008,
    // A line could not be written to the report: the run ends.
    kMsgReportWriteFailed = 40009,
    // Contacts left out because they belong to another station of the user.
    kMsgOtherStationSkipped = 40010,
    // A source with content from which no record could be read.
    kMsgNoRecordsFound = 40011,
    // A reference table the state or county checks need could not be read.
    kMsgReferenceTableError = 40012,
    // A source that is read only in part, and a settings file that is no
    // regular file: both name the path and the reason.
    kMsgSourceReadError = 40020,
    kMsgSettingsNotRead = 40021,
    // A dBASE table whose header counts fewer records than the file holds.
    kMsgTableHeaderShort = 40022,
    // A database file chosen as the source of a text type.
    kMsgSourceNotOfType = 40023,
    // After a LoTW download: how many contacts were confirmed, how many added.
    kMsgLotwResult = 40024,
    // Opening a Jet target found something to tell (an unfinished copy removed).
    kMsgTargetNotice = 40025,
    // Begin Import: the target cannot be written now (open in the host
    // program, a folder that cannot be written).
    kMsgTargetNotWritable = 40026,
};

// The exact text of a message ("" for an unknown id).
std::string MessageText(int id);

}  // namespace tvx
