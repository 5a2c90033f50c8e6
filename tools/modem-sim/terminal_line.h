// The line settings of the terminal the simulated modem serves: put raw, and described for
// the log, so that tests can see which settings the tool under test chose.
#pragma once

#include <string>

// Raw bytes both ways (no echo, no CR/LF translation), receiver on, modem lines ignored.
bool MakeRaw(int fd);

// "termios baud=115200 csize=8 parity=none stop=1 crtscts=1 ixon=0 ixoff=0", or
// "termios error=..." when fd has no line settings.
std::string DescribeTermios(int fd);
