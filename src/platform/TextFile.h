// Reading and replacing small files whole. Replacement goes through a
// temporary file beside the target and a rename, so a crash or a full disk
// leaves either the old content or the new one, never a torn file.
#pragma once

#include <string>
#include <vector>

namespace os {

// Reads the whole file into `content`. False when the file is missing or a
// read fails; `content` then holds what was read before the failure.
bool ReadWholeFile(const std::string& path, std::string& content);

// Splits file text into lines: CR, LF and CR LF each end a line. A final line
// without an ending counts; a final ending does not start another line.
std::vector<std::string> SplitLines(const std::string& text);
// Joins lines, each ended by CR LF (the last included).
std::string JoinLines(const std::vector<std::string>& lines);

// True when something (a file, a folder) exists at the path.
bool FileExists(const std::string& path);

// Writes `content` to `path` + ".tmp", flushes it to disk and renames it over
// `path` (keeping the permission bits of a file already there). False when
// any step fails; the temporary file is removed and `path` is left as it was.
bool WriteFileAtomically(const std::string& path, const std::string& content);

// The temporary file WriteFileAtomically uses for `path`.
std::string TemporaryPathFor(const std::string& path);

}  // namespace os
