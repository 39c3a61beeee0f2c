#pragma once
// An append that leaves a file with all of `bytes` added or none: the file's own readers (a
// log of lines, say) never meet half a line, whether the disk fills up or the write fails.
// Writers that all append through this take turns (a lock on the file), so cutting off a
// failed write never cuts another writer's bytes.

#include <optional>
#include <string>

// Appends `bytes` to the file at `path` (UTF-8) in one write, creating its folder and the
// file (rw-r--r--) as needed. A write that fails or falls short is cut off again. Returns the
// system's reason when nothing was appended.
std::optional<std::string> AppendWhole(const std::string& path, const std::string& bytes);
