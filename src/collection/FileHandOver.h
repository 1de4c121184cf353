#pragma once

namespace torven {

class SiteConfiguration;

// Moves finished data files out of the tmp directory: each "*.csv" there enters the ToSend
// directory exactly once, whole (when that is a directory), and is moved into the Data
// directory. A file waits in tmp, untouched, while it cannot be moved into Data, so that
// ToSend never gets it twice. With skipCurrentDay the files of the current UTC day of the
// site's clock and every stream's current file stay, since they are still being written.
// Files that have to wait are logged once at WARN.
//
// A file's progress is kept in its name in tmp, so that it survives a crash: NAME.csv has
// not entered ToSend; ".NAME.csv.sent" is in ToSend (or staged there, to be published) and
// only has to be moved into Data.
void handOverFiles(SiteConfiguration& site, bool skipCurrentDay);

// Removes the hidden temporary copies that a crash or power cut left in the Data and
// ToSend directories, except a staged ToSend copy of a file marked as sent, which the next
// hand-over publishes. For the program's start, before the first file is written.
void removeInterruptedCopies(const SiteConfiguration& site);

}  // namespace torven
