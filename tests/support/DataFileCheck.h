#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/ScratchStation.h"

namespace torven::test {

// The checks that prove no data row was lost or cut: every data file on disk is whole, every
// copy of it is the file as of a whole row, and every row once seen is still there.

// A row as the writer stores it, without its CR LF: "YYYY-MM-DD hh:mm:ss, +d.ddd" (the value
// as "%+6.3f": a sign, at least one digit, a point and three decimals).
bool isDataRow(std::string_view line);

// The rows of a data file, each without CR LF, in file order. Only lines with their line
// end count: a file read while a row is being appended may end in part of it.
std::vector<std::string> wholeRows(const std::string& content);

// The content up to and including the line end of its last whole line.
std::string upToLastLineEnd(const std::string& content);

// Splits content into its lines, each without its line end; fails when a line does not end
// in CR LF or holds a stray CR.
::testing::AssertionResult splitCrLfLines(const std::string& content,
                                          std::vector<std::string>& lines);

// A complete data file: header lines (each beginning with "#", or empty) and then at least
// one row, rows in rising time order, every line ending in CR LF, nothing after the last
// row.
::testing::AssertionResult isWholeDataFile(const std::string& content);

// A copy of a data file as of a whole row: the same bytes, or its first bytes up to the line
// end of one of its rows.
::testing::AssertionResult isWholeCopyOf(const std::string& copy, const std::string& content);

// The *.csv files of a station folder by name, with their content.
std::map<std::string, std::string> readDataFiles(const ScratchStation& station,
                                                 const std::string& folder);

// Every *.csv file of the folder is a whole data file.
::testing::AssertionResult holdsOnlyWholeDataFiles(const ScratchStation& station,
                                                   const std::string& folder);

// The two folders hold the same data files with the same content.
::testing::AssertionResult sameDataFiles(const ScratchStation& station, const std::string& folder,
                                         const std::string& otherFolder);

// Every whole row of every earlier snapshot (name to content, e.g. of tmp while the program
// ran) is still in the file of that name in the folder: the file begins with the snapshot up
// to its last line end.
::testing::AssertionResult keepsEveryRowOf(const ScratchStation& station, const std::string& folder,
                                           const std::map<std::string, std::string>& snapshot);

}  // namespace torven::test
