#include "tools/karst-render/run_report.h"

#include <algorithm>
#include <iostream>

#include "tools/cli/cli.h"
#include "tools/karst-render/render_tool.h"
#include "tools/render/render_region.h"

namespace karst::tools {
namespace {

// A line of its own, at once: the lines of the regions come between the bar's redraws.
void PrintLine(std::ostream& stream, const std::string& line) {
  stream << line << "\n";
  stream.flush();
}

std::vector<std::string> Failures(const FolderRun& run) {
  std::vector<std::string> failures;
  for (const RegionOutcome& outcome : run.outcomes) {
    if (!outcome.written) {
      failures.push_back(outcome.failedFile + ": " + outcome.error);
    }
  }
  return failures;
}

}  // namespace

int ReportProblems(const std::vector<JobProblem>& problems) {
  for (const JobProblem& problem : problems) {
    ReportError(kTool, problem.file, problem.words);
  }
  if (std::any_of(problems.begin(), problems.end(),
                  [](const JobProblem& problem) { return problem.kind == ProblemKind::kOutputRefused; })) {
    return kExitUsage;
  }
  return problems.empty() ? kExitSuccess : kExitFailure;
}

void PrintLibrary(const FolderRun& run) {
  if (!run.library) {
    return;
  }
  for (const std::string& line : run.library->lines) {
    std::cout << run.library->path << ": " << line << "\n";
  }
  if (run.library->problem) {
    ReportError(kTool, run.library->problem->file, run.library->problem->words);
  }
}

void PrintOutcomes(const FolderRun& run, const std::string& verb, bool barShown) {
  for (std::size_t index = 0; index < run.outcomes.size(); ++index) {
    const RegionOutcome& outcome = run.outcomes[index];
    const std::string& input = run.regions[index].input;
    for (const std::string& line : outcome.diagnostics) {
      PrintLine(std::cout, input + ": " + line);
    }
    if (const std::string warning = UndrawnWarning(input, outcome.entities); !warning.empty()) {
      PrintLine(std::cerr, std::string(kTool) + ": " + input + ": " + warning);
    }
    if (!outcome.written) {
      PrintLine(std::cerr, std::string(kTool) + ": " + outcome.failedFile + ": " + outcome.error);
    } else if (!barShown) {
      PrintLine(std::cout, verb + " " + run.regions[index].file + " -> " + run.outputs[index]);
    }
  }
}

int ReportSummary(const FolderRun& run, const FolderSummary& summary) {
  const std::vector<std::string> failures = Failures(run);
  const std::size_t regions = run.regions.size();
  std::cout << summary.verb << " " << regions - failures.size() << " of " << regions
            << (regions == 1 ? " region" : " regions") << " into " << summary.destination << "\n";
  if (!summary.renamed.empty()) {
    std::cout << "renamed, as their names differ from earlier ones only in case:\n";
    for (const std::string& line : summary.renamed) {
      std::cout << "  " << line << "\n";
    }
  }
  if (failures.empty()) {
    return kExitSuccess;
  }
  std::cerr << kTool << ": " << failures.size() << (failures.size() == 1 ? " region" : " regions") << " failed"
            << summary.failuresNote << ":\n";
  for (const std::string& failure : failures) {
    std::cerr << "  " << failure << "\n";
  }
  return kExitFailure;
}

}  // namespace karst::tools
