// Windows XP setup's texts: the winnt32 command lines and the unattended answer file.
#pragma once

#include <string>

// Where setup runs from, as xpSetupSource holds it.
enum XpSetupSource : int {
    kXpProgram32 = 0,  // a 32-bit winnt32 program chosen directly
    kXpFolder32 = 2,   // the I386 folder at a drive's root
    kXpFolder64 = 4,   // the AMD64 folder at a drive's root
    kXpProgram64 = 5,  // a 64-bit winnt32 program chosen directly
};
bool IsXpSetupFolder(int source);

// The winnt32 line for the media path (the setup folder, or the winnt32 program chosen
// directly) onto the target root ("D:\"). automatic: with the answer file. A source
// folder holding a blank is quoted after /s:, without its trailing backslash.
std::string XpSetupLine(int source, bool automatic, const std::string& media,
                        const std::string& root);
// The line as the command interpreter is given it: a line whose quotes the interpreter
// would strip (more than one quoted part, or a quoted part holding one of its own
// characters) is wrapped in one more pair.
std::string XpLineForInterpreter(const std::string& line);

// The answer file the automatic install writes to the target, byte for byte, and the
// product key it carries.
extern const char kXpAnswerFileTemplate[];
extern const char kXpTemplateProductId[];
// The answer file's name on the target root ("D:\" + this).
extern const char kXpAnswerFileName[];

// The folders setup's first phase leaves on the target root: the boot folder and the
// local copy of the media.
extern const char kXpBootFolder[];
extern const char kXpLocalSourceFolder[];
