// What a program does first, so that the state it inherited cannot turn against it.
#pragma once

namespace fwlaunch::platform {

// Gives every closed standard stream a harmless stand-in (the null device), so that nothing the
// program opens later takes its place and receives what is written to it; and lets writes past
// a file size limit fail with an error instead of ending the process, as the interpreter does
// for itself.
void PrepareProcess();

// Makes standard input and output carry bytes unchanged (Windows' runtime otherwise turns LF
// into CRLF on the way), for a program that reads or writes binary data through them.
void UseBinaryStandardStreams();

}  // namespace fwlaunch::platform
