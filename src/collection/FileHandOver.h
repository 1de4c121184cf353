#pragma once

namespace torven {

class SiteConfiguration;

// Moves finished data files out of the tmp directory: each "*.csv" there is copied into the
// ToSend directory (when that is a directory) and moved into the Data directory. With
// skipCurrentDay the files of the current UTC day of the site's clock stay, since they are
// still being written.
void handOverFiles(const SiteConfiguration& site, bool skipCurrentDay);

}  // namespace torven
