#pragma once

namespace mellowby::platform {

// The value of a hexadecimal digit in either case, or -1 for any other byte: for the \xNN of the
// names udev and the volume records give, and the &#xNN; of catalogs.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The lower-case digit of a value from 0 to 15: digests are printed so by the tools that check them.
constexpr char lowerHexDigit(unsigned value)
{
    return "0123456789abcdef"[value & 0xFU];
}

} // namespace mellowby::platform
