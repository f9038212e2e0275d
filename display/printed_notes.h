// The viewer's sink for load notes: the line of every note the viewer prints goes to its channel
// the moment the note is made (an output line to standard output, a debug text to the debug
// channel, platform/channels.h); the notes it keeps quiet about go nowhere.
#pragma once

#include "gff/load_report.h"

namespace karst {

// Prints the note's line, if it has one.
void PrintNote(const LoadNote& note);

// A report that prints every note through PrintNote.
LoadReport PrintedNotes();

}  // namespace karst
