// "Tree.txt": the whole display tree with every association.
//
// The current format, "<v1.04>", byte for byte ("\n" is the line end; text
// mode makes it CR LF on Windows):
//
//   <v1.04>                       first line; nothing follows for an empty tree
//   \n<Monitor>\n                 per Monitor, in list order
//   DeviceID\nDeviceKey\nDeviceString\nOutputDevice\n
//   then either the global block
//     <global>\n association text \n
//   or per Resolution
//     <Resolution>\n width " " height \n
//     per Mode: <Mode>\n bpp\n flags\n frequency\n ["quoted association"] \n</Mode>\n
//     </Resolution>\n
//   </Monitor>                    no line end after the last one
//
// The reader also takes "<v1.03>" and "<v1.03.1>" files (one more line after
// the output device line and after each mode's frequency, both skipped) and
// "<header>" files (no global block). Text is in the system's 8-bit encoding
// (UTF-8 on Linux); the reader accepts LF and CR LF line ends.
#pragma once

#include <QString>

class Log;
class Tree;

// Writes `tree` to the file at `path` in the current format. The file is
// replaced only when it was written completely; false when it cannot be
// created, written or put in place, and the previous file then stays. The
// Tree's cursors are not moved.
bool writeTree(const QString& path, const Tree& tree, QString* error = nullptr);

// Reads the file at `path` into the (empty) `tree`, associating every Mode
// again through Tree::Associate, which parses every profile file anew and
// logs the outcome. True when the whole file followed its format. A load
// that fails stops where it failed and leaves in the Tree everything built
// before that point. A profile that no longer parses leaves its Mode
// without association.
//
// Each of the four monitor lines is read whole and kept to its first 127
// bytes (the size of the node's field), so an over-long line is cut and
// never taken for the line after it.
//
// Only a regular file is read: a FIFO or a device (a link to /dev/zero)
// fails the load at once, with a debug line (core/debug_output.h) that says why.
bool loadTree(const QString& path, Tree& tree, Log& log);

// The logged save: timestamp, "Saving Tree...\n", the write, "Successfully
// saved Tree.\n" or "Failed to save Tree.\n", then an empty line.
bool saveTree(const QString& path, const Tree& tree, Log& log);
