// The viewer's lines for what a load met, as problems of kind kNote: the inspecting jobs hand them
// to their faces, which show them beside the result (the command lines on standard error), where
// the viewer prints them on its own channels.
#pragma once

#include <string>
#include <vector>

#include "gff/load_report.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

// The viewer's line for a note without its line end; empty when the viewer prints none.
std::string NoteLine(const LoadNote& note);

// Appends to `problems` one problem per note the viewer prints a line for, in the notes' order:
// the note's file, its line without the line end, and its chunk ("TILE 3"); notes the viewer
// keeps quiet about give none. Empties `notes`, for the next load to fill.
void MoveNoteProblems(std::vector<LoadNote>& notes, std::vector<JobProblem>& problems);

}  // namespace karst::tools
