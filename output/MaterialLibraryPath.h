#pragma once

#include <string>

namespace faceloom {

// The text of an input "mtllib" line (one library path, or several separated by
// blanks) rewritten so that it names the same files from the output file's
// directory. Relative paths are taken from the input file's directory, as OBJ readers
// do. Absolute paths, and every path when both files share a directory, stay as
// they were written.
std::string rewriteMaterialLibraries(const std::string& libraries, const std::string& inputPath,
                                     const std::string& outputPath);

// One path, relative to the input file's directory, rewritten so that it names the
// same file from the output file's directory. Absolute paths, and every path when both
// files share a directory, stay as they are.
std::string pathFromOutput(const std::string& path, const std::string& inputPath,
                           const std::string& outputPath);

}  // namespace faceloom
