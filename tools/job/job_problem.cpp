#include "tools/job/job_problem.h"

namespace karst::tools {

std::string_view ProblemKindName(ProblemKind kind) {
  switch (kind) {
    case ProblemKind::kUnreadable:
      return "unreadable";
    case ProblemKind::kNotContainer:
      return "not-container";
    case ProblemKind::kWouldNotLoad:
      return "would-not-load";
    case ProblemKind::kOutputRefused:
      return "output-refused";
    case ProblemKind::kOutputExists:
      return "output-exists";
    case ProblemKind::kOutputChanged:
      return "output-changed";
    case ProblemKind::kEditsWouldBeLost:
      return "edits-would-be-lost";
    case ProblemKind::kEditRefused:
      return "edit-refused";
    case ProblemKind::kLayoutWouldChange:
      return "layout-would-change";
    case ProblemKind::kWriteFailed:
      return "write-failed";
    case ProblemKind::kCancelled:
      return "cancelled";
    case ProblemKind::kNote:
      return "note";
    case ProblemKind::kNotFound:
      return "not-found";
    case ProblemKind::kUnfinished:
      return "unfinished";
    case ProblemKind::kColourMissing:
      return "colour-missing";
    case ProblemKind::kTransparencyMissing:
      return "transparency-missing";
    case ProblemKind::kFileInUse:
      break;
  }
  return "file-in-use";
}

}  // namespace karst::tools
