#include "import/messages.h"

#include <unordered_map>

namespace tvx {

std::string MessageText(int id) {
    static const std::unordered_map<int, const char*> kTable = {
        {kMsgStartImport, "Starts the import process using selected options\nStart Import"},
        {kMsgStopImport, "Stops the current import in progress\nStop Import"},
        {kMsgDisplayErrorFile, "Display the last error file produced\nDisplay Error File"},
        {kMsgOprCallRequired, "The Operator Call is a required entry."},
        {kMsgProgramPathEmpty, "The Tolvex Program Path cannot be empty"},
        {kMsgProgramPathHasMdb,
         "The Tolvex program path contains a .mdb filename.  ONLY the path should be entered "
         "here.  Use the button to right of field and select the Tolvex path."},
        {kMsgTargetNotOpen, "Unable to open the Tolvex target database."},
        {kMsgNotAdifQuestion,
         "You have not selected ADIF import method.  If your old program supplies ADIF export, "
         "you should use that method since it is more likely to give the best results.  The "
         "choice you have made is based on a very old version of your old program.\n Do you "
         "wish to continue with this import?"},
        {kMsgRefdataChosenAsTarget,
         "The file <Refdata.mdb> you selected is NOT your QSO database.  Restart the program "
         "and select a QSO database file such as yourcall.mdb."},
        {kMsgArrlIdTable,
         "Unable to create ARRL Country ID table.  Prefix assignment\nwill be based on "
         "callsign."},
        {kMsgLotwFileAsStandard,
         "Your ADIF file is from LoTW but you selected Standard ADIF import option.  The import "
         "will now terminate."},
        {kMsgNotLotwFile,
         "You selected the LoTW ADIF import option but the file is not an ADIF created by "
         "LoTW.  The import process will now terminate."},
        {kMsgSourceNotOpen, "Unable to open source database"},
        {kMsgAbortQuestion, "Do you want to abort any further importing of data?"},
        {kMsgBackupQuestion,
         "Have you made a backup copy of your Target  database?\nClick NO if you do not have a "
         "backup and prepare a backup before you perform an import."},
        {kMsgSelectSourceType, "You must select the source data type."},
        {kMsgSourceFileNotOpen, "Unable to open the source file"},
        {kMsgInitializeTables,
         "Remember to initialize tables the next time you run Tolvex so that your numeric "
         "statistics for records imported will be reflected."},
        {kMsgSourceEmpty, "The source file appears to be empty"},
        {kMsgReaderMissing,
         "The import of this source data type is not available in this version of the "
         "program."},
        {kMsgErrorFileNotCreated, "Unable to create the error file"},
        {kMsgReferenceNotOpen, "Unable to open the reference database"},
        {kMsgEngineError, "The import stopped because of a database error"},
        {kMsgNoImportRunYet,
         "No import has run since the program started, so there is no error file to "
         "display yet."},
        {kMsgSourceDatabaseError, "The source database could not be opened."},
        {kMsgTargetDatabaseError, "The target database could not be opened."},
        {kMsgCommitFailed,
         "The import stopped: the target database could not save the last contacts."},
        {kMsgReportWriteFailed, "The import stopped: the error file could not be written."},
        {kMsgOtherStationSkipped,
         "records were left out because their station call is not in \"QSOs for these OPR "
         "Calls\"."},
        {kMsgNoRecordsFound, "No record could be read from the source file."},
        {kMsgReferenceTableError,
         "A table of the reference database could not be read; the import goes on without it."},
        {kMsgSourceReadError, "The source file could not be read to its end"},
        {kMsgSettingsNotRead, "Unable to read the settings file"},
        {kMsgSourceNotOfType, "The source file is not a file of the chosen source type"},
        {kMsgTargetNotice, "The target database"},
        {kMsgTargetNotWritable, "The target database cannot be written now"},
        {kMsgTableHeaderShort,
         "The header of the source table counts fewer records than the file holds (a program "
         "stopped before it closed the table); the records after them were read too"},
    };
    const auto it = kTable.find(id);
    return it == kTable.end() ? std::string() : std::string(it->second);
}

}  // namespace tvx
