// What the disk info block's codes mean: its dates, and the licensees its
// maker code names. Facts from the public FDS documentation: the NESdev
// wiki's FDS disk format page, and the licensee table that FDS disks share
// with the cartridges of the time (Pan Docs, "old licensee code").
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A date of the disk info block: three BCD bytes, year, month, day. The
// year counts the Japanese era: Showa (1925 + year) on the disks of 1986
// to 1989, and Heisei (1988 + year) on some written later.
struct FdsDate {
    int year;
    int month;
    int day;
};

// The date the bytes hold, or none when they are no BCD date.
std::optional<FdsDate> DecodeFdsDate(const std::uint8_t* bytes);
// "1986-02-21"
std::string FdsDateText(const FdsDate& date);

// A BCD byte's value, or none when a digit is not 0-9.
std::optional<int> DecodeBcd(std::uint8_t byte);

// The licensee a maker code names, or nullptr for a code not in the table.
const char* FdsLicenseeName(std::uint8_t code);
