// Texts of addresses and rates as the tree, the panels and the log show them.
#ifndef CORVIN_TEXT_FORMAT_H
#define CORVIN_TEXT_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <string>

enum { TEXT_APPEND = 1, TEXT_REPLACE = 2 };
// Dotted IPv4 text of four octets. Octet outside 0..255: the text becomes
// "???.???.???.???" and the result is -1. Other modes write nothing and give 0.
// Otherwise the result is the length of the text written.
int FormatIpv4(char *text, size_t textSize, const int octets[4], int mode);
// The same as a string, for the 32-bit octet fields of the records.
std::string Ipv4Text(const int32_t octets[4]);
// Reads up to four dotted decimal values; returns how many were read.
int ParseIpv4(const char *text, int octets[4]);
// "<baud> baud", replacing or appending; same results as FormatIpv4.
int FormatBaud(char *text, size_t textSize, int baud, int mode);

#endif
