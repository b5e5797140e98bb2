// Reading and replacing small files whole. Replacement goes through a
// temporary file beside the target and a rename, so a crash or a full disk
// leaves either the old content or the new one, never a torn file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace os {

// Reads the whole file into `content`. False when the file is missing, is
// not a regular file, or a read fails; `content` then holds what was read
// before the failure.
bool ReadWholeFile(const std::string& path, std::string& content);

// Reads at most `limit` bytes of a regular file into `content`; `truncated`
// tells whether the file holds more. False as ReadWholeFile.
bool ReadFileStart(const std::string& path, std::size_t limit, std::string& content, bool& truncated);

// Splits file text into lines: CR, LF and CR LF each end a line. A final line
// without an ending counts; a final ending does not start another line.
std::vector<std::string> SplitLines(const std::string& text);
// Joins lines, each ended by CR LF (the last included).
std::string JoinLines(const std::vector<std::string>& lines);

// True when something (a file, a folder) exists at the path.
bool FileExists(const std::string& path);

// The file a path finally names: symbolic links followed (relative ones from
// their own folder), the path itself when it is none. A dangling link gives
// the path it points to.
std::string ResolveLinks(const std::string& path);

// Replaces the file's content with `content`. The path's links are followed,
// so a symbolic link keeps pointing where it pointed and its target gets the
// content. The new content goes to a temporary file with an unpredictable
// name, created exclusively in the target's folder (never through a link
// planted there), flushed to disk and renamed over the target, keeping the
// permission bits of a file already there. When the folder does not let us
// create that file but the target itself is writable, the target is
// rewritten in place instead. False when the content could not be stored;
// the target is then left as it was and no temporary file stays behind.
bool WriteFileAtomically(const std::string& path, const std::string& content);

// True when WriteFileAtomically could store the file now: a temporary file
// can be made beside its target (and is removed again), or the target
// exists and is writable.
bool CanReplace(const std::string& path);

}  // namespace os
