#pragma once
// The choices of one run, as the form's controls or the command line give
// them when Begin Import is pressed.

#include <string>
#include <vector>

namespace tvx {

// Filter choices of "Band and Mode Filter Selection".
enum FilterChoice {
    kFilterNone = 0,
    kFilterAll = 1,
    kFilterNotConfirmed = 2,
    kFilterNotWorked = 3
};

struct ImportOptions {
    int sourceType = -1;  // -1: nothing selected
    std::string sourcePath;
    std::string hostPath;  // "Tolvex 2007 Full Path"
    std::string defaultOprCall;
    std::string defaultNote;
    std::string defaultSpec1;
    std::string defaultSpec2;
    bool qslSentFromDate = false;
    int filter = kFilterAll;
    // "QSOs for these OPR Calls"
    std::vector<std::string> oprCalls;
};

}  // namespace tvx
