// What a program does first, so that the state it inherited cannot turn against it.
#pragma once

#include <string>
#include <vector>

namespace fwlaunch::platform {

// Gives every closed standard stream a harmless stand-in (the null device), so that nothing the
// program opens later takes its place and receives what is written to it; and lets writes past
// a file size limit fail with an error instead of ending the process, as the interpreter does
// for itself.
void PrepareProcess();

// Makes standard input and output carry bytes unchanged (Windows' runtime otherwise turns LF
// into CRLF on the way), for a program that reads or writes binary data through them.
void UseBinaryStandardStreams();

// The program's arguments, for the narrow calls. Windows hands main its arguments in the ANSI
// code page, which turns each character it lacks into '?': such an argument, when it names
// an existing file or folder, is given in its short (8.3) form instead, which the code page
// can say. Elsewhere the arguments as they came.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace fwlaunch::platform
