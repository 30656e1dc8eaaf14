// Module ErrorMng: the file-error dialog and the retry of a failed file statement.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "support/errors.h"

namespace picmap {

// Shows the dialog for error `current` while reading or writing `file` (may be empty) and
// returns the decision: 0 run the failed statement again, 1 give up and report no further,
// 2 give up and pass the error up, 3 the same (fixed for errors that are not file errors).
int16_t FileErrorDialog(const Error& current, const std::u16string& file);

// Where nobody can answer the dialog (the command line), a presenter reports the failure
// instead: it gets the error, the file and the dialog's text without the retry question. The
// decision is then to give up: 1 for file errors, 3 for the others. Returns the previous one.
using FileErrorPresenter = void (*)(const Error& current, const std::u16string& file,
                                    const std::u16string& dialogText);
FileErrorPresenter SetFileErrorPresenter(FileErrorPresenter presenter);

// The first line of the dialog's message for a file or drive error 52..76 (6000 + n).
std::u16string FileErrorText(int32_t number);

// Thrown by RetryFileStatement when the user gives up: the operation closes its file and
// returns error.Number(); for decisions 2 and 3 it then passes the error up.
struct FileFailure {
  Error error;
  int16_t decision;
  bool PassUp() const { return decision >= 2; }
};

// Runs one file statement. On a run-time error the file-error dialog is asked; decision 0 runs
// the statement again, any other ends with FileFailure.
template <class F>
auto RetryFileStatement(const std::u16string& file, F&& statement) -> decltype(statement()) {
  for (;;) {
    try {
      return statement();
    } catch (...) {
      Error e = CurrentError();
      int16_t decision = FileErrorDialog(e, file);
      if (decision != 0) throw FileFailure{std::move(e), decision};
    }
  }
}

}  // namespace picmap
