#pragma once
// The only way the core reaches a person: the desktop form, the command line
// and the tests each implement it.

#include <cstdint>
#include <string>

namespace tvx {

enum class MessageIcon { None, Stop, Question, Exclamation };

struct Counters {
    int recordsRead = 0;
    int recordsLoaded = 0;
    int recordsIgnored = 0;
    int errors = 0;
    int warnings = 0;
};

class ImportHost {
  public:
    virtual ~ImportHost() = default;
    // A Yes/No question; true for Yes.
    virtual bool ask(int messageId, const std::string& text, MessageIcon icon) = 0;
    // A message with an OK button.
    virtual void notify(int messageId, const std::string& text, MessageIcon icon) = 0;
    // Handle pending user events (Stop Import, repaint); called once per record.
    virtual void pump() = 0;
    virtual void countersChanged(const Counters& counters) = 0;
    // A report line to put at the top of the problem list.
    virtual void problemAdded(const std::string& line) = 0;
    // A run begins or ends (busy animation, button states).
    virtual void runningChanged(bool running) { (void)running; }
    // How far the reader is through its source: bytes of a text file or rows
    // of a table, out of total (0 when the size is unknown).
    virtual void progressChanged(std::int64_t done, std::int64_t total) {
        (void)done;
        (void)total;
    }
};

}  // namespace tvx
