#pragma once

#include <QString>

class QPrinter;

// Prints text as one document: black on white in a fixed-pitch font, each
// line of the text on a line of its own, long lines wrapped at the margin,
// as many pages as it takes. An empty text still makes one (blank) page.
// A document that cannot be started or finished is a RuntimeError whose
// message names the destination ("the file \"...\"", "the printer \"...\"").
void PrintPages(QPrinter &printer, const QString &text, const QString &destination);
