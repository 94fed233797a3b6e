#include "linux/code_pages.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cstring>
#include <map>
#include <memory>

#include "diagnostics/text_format.h"

namespace platform::posix {
namespace {

// A single-byte code page: bytes 0x80-0xFF as characters (a byte the code
// page does not define reads as U+0080-U+009F or a private character, as
// the system reads it), and the best-fit bytes written for characters it
// lacks, as runs of consecutive characters from `first` ("?": none).
struct BestFitRun {
    char16_t first;
    const char* bytes;
};
struct SingleByteTable {
    uint32_t number;
    char16_t upper[128];
    std::vector<BestFitRun> bestFit;
};

// Windows' tables, compared byte by byte and character by character with
// the system's conversion functions.
const SingleByteTable kSingleByte[] = {
    {1250,
     {0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,
      0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
      0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
      0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
      0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
      0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
      0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
      0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
      0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
      0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
      0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
      0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
      0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
      0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9},
     {{0x00A1, "!cL?Y"},
      {0x00AA, "a"},
      {0x00AF, "\x97?\?23"},
      {0x00B9, "1o?113?A?\?A?AA?E?E?I?\?I?NO?\?O?\?OU?U"},
      {0x00E0, "a?\?a?aa?e?e?i?\?i?no?\?o?\?ou?u?\?\?yAa"},
      {0x0108, "CcCc"},
      {0x0112, "EeEeEe"},
      {0x011C, "GgGgGgGgHhHhIiIiIiIiIi?\?JjKk?\?\?Ll"},
      {0x0145, "Nn"},
      {0x014C, "OoOo?\?Oo?\?Rr"},
      {0x015C, "Ss"},
      {0x0166, "TtUuUuUu"},
      {0x0172, "UuWwYyY"},
      {0x0180, "b"},
      {0x0189, "\xD0"},
      {0x0191, "Ff"},
      {0x0197, "I?\?l"},
      {0x019F, "OOo"},
      {0x01AB, "t?\?TUu"},
      {0x01B6, "z"},
      {0x01C0, "|?\?!"},
      {0x01CD, "AaIiOoUuUuUuUuUu?Aa"},
      {0x01E4, "GgGgKkOoOo?\?j"},
      {0x0261, "g"},
      {0x02B9, "'\x22\x91'"},
      {0x02C4, "^?^?'\xAF\xB4`?_"},
      {0x02DA, "\xB0?~"},
      {0x0300, "`\xB4^~\xAF\xAF\xA2\xFF\xA8?\xB0?\xA1?\x22"},
      {0x0327, "\xB8"},
      {0x0331, "__"},
      {0x037E, ";"},
      {0x03B2, "\xDF"},
      {0x03BC, "\xB5"},
      {0x04BB, "h"},
      {0x0589, ":"},
      {0x066A, "%"},
      {0x2000, "       "},
      {0x2010, "--"},
      {0x2024, "\x95"},
      {0x2032, "'\x94?`"},
      {0x203C, "!"},
      {0x2044, "/"},
      {0x2070, "\xB0?\?\?45678"},
      {0x2080, "0123456789"},
      {0x20A4, "\xA3"},
      {0x2102, "C"},
      {0x2107, "E?\?gHHHh?IILl?N?\?PPQRRR"},
      {0x2124, "Z?\?\?Z?K\xC5" "BCeeEF?Mo"},
      {0x2190, "\x8B^\x9B\xA1-|"},
      {0x21A8, "|"},
      {0x2205, "\xD8"},
      {0x2212, "-\xB1?/\x5C*\xB0\x95"},
      {0x221F, "L?\?\?|"},
      {0x2236, ":"},
      {0x223C, "~"},
      {0x226A, "\xAB\xBB"},
      {0x22C5, "\xB7"},
      {0x2302, "\xA6^"},
      {0x2329, "<>"},
      {0x2500, "\xA6?-"},
      {0x250C, "-?\?\?\xAC?\?\?L?\?\?-?\?\?+"},
      {0x2524, "+"},
      {0x252C, "T"},
      {0x2534, "+"},
      {0x253C, "+"},
      {0x2550, "=\xA6?\?-?\?\xAC?\?L?\?-?\?\xA6?\?\xA6?\?T?\?\xA6?\?+"},
      {0x2580, "-?\?\?-?\?\?-"},
      {0x2591, "---"},
      {0x25A0, "\xA6"},
      {0x25AC, "-"},
      {0x25B2, "^"},
      {0x25BA, ">?\xA1"},
      {0x25C4, "<"},
      {0x25CB, "0"},
      {0x25D8, "\x95" "0"},
      {0x263A, "\xA2\xA2" "0?\?\?+?>"},
      {0x2660, "\xA6?\?\xA6?\xA6\xA6?\?\?dd"},
      {0x2758, "|?\?\x91\x92\x93\x94"},
      {0x3000, " "},
      {0x3008, "<>\xAB\xBB"},
      {0x301A, "[]?\x93\x94\x84"},
      {0x30FB, "\xB7\x97"},
      {0xFF01, "!\x22#$%&'()*+,-./0123456789:;<=>?@ABCDEFGH"
               "IJKLMNOPQRSTUVWXYZ[\x5C]^_`abcdefghijklmnop"
               "qrstuvwxyz{|}~"}}},
    {1251,
     {0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
      0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
      0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
      0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
      0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
      0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
      0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
      0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
      0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
      0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
      0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
      0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
      0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
      0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
      0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F},
     {{0x00C0, "AAAAAA?CEEEEIIII?NOOOOO?OUUUUY?\?aaaaaa?c"
               "eeeeiiii?nooooo?ouuuuy?yAaAaAaCcCcCcCcDd"
               "DdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiI?\?\?JjKk"
               "?LlLlLl?\?LlNnNnNn?\?\?OoOoOo?\?RrRrRrSsSsSs"
               "SsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz?b"},
      {0x0197, "I?\?l"},
      {0x019F, "OOo"},
      {0x01AB, "t?\?TUu"},
      {0x01CD, "AaIiOoUuUuUuUuUu?Aa"},
      {0x01E4, "GgGgKkOoOo?\?j"},
      {0x203C, "!"},
      {0x2190, "<^>v-\xA6"},
      {0x21A8, "\xA6"},
      {0x2219, "\x95v"},
      {0x221F, "L"},
      {0x2302, "\xA6"},
      {0x2500, "-?\xA6"},
      {0x250C, "-?\?\?\xAC?\?\?L?\?\?-?\?\?+"},
      {0x2524, "+"},
      {0x252C, "T"},
      {0x2534, "+"},
      {0x253C, "+"},
      {0x2550, "=\xA6-\xE3\xE3\xAC\xAC\xACLLL---\xA6\xA6\xA6\xA6\xA6\xA6TTT\xA6\xA6\xA6+++"},
      {0x2580, "-?\?\?-?\?\?-?\?\?\xA6?\?\?\xA6---"},
      {0x25A0, "\xA6"},
      {0x25AC, "-"},
      {0x25B2, "^"},
      {0x25BA, ">?\xA1"},
      {0x25C4, "<"},
      {0x25CB, "0"},
      {0x25D8, "\x95" "0"},
      {0x263A, "OO0?\?\?+?>"},
      {0x2660, "\xA6?\?\xA6?\xA6\xA6?\?\?dd"},
      {0xFF01, "!\x22#$%&'()*+,-./0123456789:;<=>?@ABCDEFGH"
               "IJKLMNOPQRSTUVWXYZ[\x5C]^_`abcdefghijklmnop"
               "qrstuvwxyz{|}~"}}},
    {1252,
     {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
      0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
      0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
      0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
      0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
      0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
      0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
      0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
      0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
      0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
      0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
      0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
      0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF},
     {{0x0100, "AaAaAaCcCcCcCcDd\xD0" "dEeEeEeEeEeGgGgGgGgHhHh"
               "IiIiIiIiIi?\?JjKk?LlLlLl?\?LlNnNnNn?\?\?OoOo"
               "Oo?\?RrRrRrSsSsSs?\?TtTtTtUuUuUuUuUuUuWwYy"
               "?ZzZz?\?\?b"},
      {0x0189, "\xD0"},
      {0x0191, "\x83"},
      {0x0197, "I?\?l"},
      {0x019F, "OOo"},
      {0x01AB, "t?\?TUu"},
      {0x01B6, "z"},
      {0x01C0, "|?\?!"},
      {0x01CD, "AaIiOoUuUuUuUuUu?Aa"},
      {0x01E4, "GgGgKkOoOo?\?j"},
      {0x0261, "g"},
      {0x02B9, "'\x22?'"},
      {0x02C4, "^?\?\?'\xAF\xB4`?_"},
      {0x02DA, "\xB0"},
      {0x0300, "`\xB4^~\xAF\xAF?\?\xA8?\xB0?\?\?\x22"},
      {0x0327, "\xB8"},
      {0x0331, "__"},
      {0x037E, ";"},
      {0x0393, "G"},
      {0x0398, "T"},
      {0x03A3, "S?\?F?\?O"},
      {0x03B1, "a\xDF?de"},
      {0x03BC, "\xB5?\?\?p?\?st?f"},
      {0x04BB, "h"},
      {0x0589, ":"},
      {0x066A, "%"},
      {0x2000, "       "},
      {0x2010, "--"},
      {0x2017, "="},
      {0x2024, "\xB7"},
      {0x2032, "'?\?`"},
      {0x2044, "/"},
      {0x2070, "\xB0?\?\?45678"},
      {0x207F, "n0123456789"},
      {0x20A1, "\xA2?\?\xA3?\?P"},
      {0x2102, "C"},
      {0x2107, "E?\?gHHHh?IILl?N?\?PPQRRR"},
      {0x2124, "Z?\?\?Z?K\xC5" "BCeeEF?Mo"},
      {0x2205, "\xD8"},
      {0x2212, "-\xB1?/\x5C*\xB0\xB7v?\?\?8"},
      {0x2223, "|"},
      {0x2229, "n"},
      {0x2236, ":"},
      {0x223C, "~"},
      {0x2248, "\x98"},
      {0x2261, "=?\?=="},
      {0x226A, "\xAB\xBB"},
      {0x22C5, "\xB7"},
      {0x2302, "\xA6^"},
      {0x2310, "\xAC"},
      {0x2320, "()"},
      {0x2329, "<>"},
      {0x2500, "-?\xA6"},
      {0x250C, "+?\?\?+?\?\?+?\?\?+?\?\?+"},
      {0x2524, "\xA6"},
      {0x252C, "-"},
      {0x2534, "-"},
      {0x253C, "+"},
      {0x2550, "-\xA6++++++++++++\xA6\xA6\xA6\xA6\xA6\xA6------+++"},
      {0x2580, "\xAF?\?\?_?\?\?\xA6?\?\?\xA6?\?\?\xA6\xA6\xA6\xA6"},
      {0x25A0, "\xA6"},
      {0x263C, "\xA4"},
      {0x2758, "|"},
      {0x3000, " "},
      {0x3008, "<>\xAB\xBB"},
      {0x301A, "[]"},
      {0x30FB, "\xB7"},
      {0xFF01, "!\x22#$%&'()*+,-./0123456789:;<=>?@ABCDEFGH"
               "IJKLMNOPQRSTUVWXYZ[\x5C]^_`abcdefghijklmnop"
               "qrstuvwxyz{|}~"}}},
    {1253,
     {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x0088, 0x2030, 0x008A, 0x2039, 0x008C, 0x008D, 0x008E, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x0098, 0x2122, 0x009A, 0x203A, 0x009C, 0x009D, 0x009E, 0x009F,
      0x00A0, 0x0385, 0x0386, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
      0x00A8, 0x00A9, 0xF8F9, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x2015,
      0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x00B5, 0x00B6, 0x00B7,
      0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F,
      0x0390, 0x0391, 0x0392, 0x0393, 0x0394, 0x0395, 0x0396, 0x0397,
      0x0398, 0x0399, 0x039A, 0x039B, 0x039C, 0x039D, 0x039E, 0x039F,
      0x03A0, 0x03A1, 0xF8FA, 0x03A3, 0x03A4, 0x03A5, 0x03A6, 0x03A7,
      0x03A8, 0x03A9, 0x03AA, 0x03AB, 0x03AC, 0x03AD, 0x03AE, 0x03AF,
      0x03B0, 0x03B1, 0x03B2, 0x03B3, 0x03B4, 0x03B5, 0x03B6, 0x03B7,
      0x03B8, 0x03B9, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BE, 0x03BF,
      0x03C0, 0x03C1, 0x03C2, 0x03C3, 0x03C4, 0x03C5, 0x03C6, 0x03C7,
      0x03C8, 0x03C9, 0x03CA, 0x03CB, 0x03CC, 0x03CD, 0x03CE, 0xF8FB},
     {{0x00B4, "/"},
      {0x00C0, "AAAAAA?CEEEEIIII?NOOOOO?OUUUUY?\?aaaaaa?c"
               "eeeeiiii?nooooo?ouuuuy?yAaAaAaCcCcCcCcDd"
               "DdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiI?\?\?JjKk"
               "?LlLlLl?\?LlNnNnNn?\?\?OoOoOo?\?RrRrRrSsSsSs"
               "SsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz?b"},
      {0x0191, "\x83"},
      {0x0197, "I?\?l"},
      {0x019F, "OOo"},
      {0x01AB, "t?\?TUu"},
      {0x01CD, "AaIiOoUuUuUuUuUu?Aa"},
      {0x01E4, "GgGgKkOoOo?\?j"},
      {0x030D, "\xB4"},
      {0x037E, ";"},
      {0x203C, "!"},
      {0x2190, "<^>v-\xA6"},
      {0x21A8, "\xA6"},
      {0x221F, "L"},
      {0x2302, "\xA6"},
      {0x2500, "-?\xA6"},
      {0x250C, "-?\?\?\xAC?\?\?L?\?\?-?\?\?+"},
      {0x2524, "+"},
      {0x252C, "T"},
      {0x2534, "+"},
      {0x253C, "+"},
      {0x2550, "=\xA6?\?-?\?\xAC?\?L?\?-?\?\xA6?\?\xA6?\?T?\?\xA6?\?+"},
      {0x2580, "-?\?\?-?\?\?-"},
      {0x2591, "---"},
      {0x25A0, "\xA6"},
      {0x25AC, "-"},
      {0x25B2, "^"},
      {0x25BA, ">?\xA1"},
      {0x25C4, "<"},
      {0x25CB, "0"},
      {0x25D8, "\x95" "0"},
      {0x263A, "OO0?\?\?+?>"},
      {0x2660, "\xA6?\?\xA6?\xA6\xA6?\?\?dd"},
      {0xFF01, "!\x22#$%&'()*+,-./0123456789:;<=>?@ABCDEFGH"
               "IJKLMNOPQRSTUVWXYZ[\x5C]^_`abcdefghijklmnop"
               "qrstuvwxyz{|}~"}}},
    {1254,
     {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x008E, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178,
      0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
      0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
      0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
      0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
      0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
      0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
      0x011E, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
      0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0130, 0x015E, 0x00DF,
      0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
      0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
      0x011F, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
      0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0131, 0x015F, 0x00FF},
     {{0x00DD, "Y"},
      {0x00FD, "y?\?AaAaAaCcCcCcCcDdDdEeEeEeEeEeGg?\?GgGgH"
               "hHhIiIiIiIi"},
      {0x0134, "JjKk?LlLlLl?\?LlNnNnNn?\?\?OoOoOo?\?RrRrRrSs"
               "Ss"},
      {0x0162, "TtTtTtUuUuUuUuUuUuWwYy?ZzZzZz?b"},
      {0x0189, "D"},
      {0x0191, "\x83"},
      {0x0197, "I?\?l"},
      {0x019F, "OOo"},
      {0x01AB, "t?\?TUu"},
      {0x01B6, "z"},
      {0x01C0, "|?\?!"},
      {0x01CD, "AaIiOoUuUuUuUuUu?Aa"},
      {0x01E4, "GgGgKkOoOo?\?j"},
      {0x0261, "g"},
      {0x02B9, "'\x22\x91'"},
      {0x02C4, "^?\?^'\xAF\xB4`?_"},
      {0x02D8, "^'\xB0\xB8?\xA8"},
      {0x0300, "`\xB4^\x98\xAF\xAF\x88\xB7\xA8?\xA7?\x88?\xA8"},
      {0x0327, "\xB8"},
      {0x0331, "__"},
      {0x03B2, "\xDF"},
      {0x03BC, "\xB5"},
      {0x04BB, "h"},
      {0x0589, ":"},
      {0x066A, "%"},
      {0x2000, "       "},
      {0x2010, "--"},
      {0x2024, "\x95"},
      {0x2032, "'\xA8?`"},
      {0x203C, "!"},
      {0x2044, "/"},
      {0x2070, "\xB0?\?\?45678"},
      {0x2080, "\xB0" "0\xB2\xB3" "456789"},
      {0x20A4, "\xA3"},
      {0x2102, "C"},
      {0x2107, "E?\?gHHHh?IILl?N?\?PPQRRR"},
      {0x2124, "Z?\?\?Z?K\xC5" "BCeeEF?Mo"},
      {0x2190, "\x8B^\x9Bv-|"},
      {0x21A8, "|"},
      {0x2205, "\xD8"},
      {0x2212, "-\xB1?/\x5C*\xB0\x95"},
      {0x221F, "L?\?\?|"},
      {0x2236, ":"},
      {0x223C, "~"},
      {0x226A, "\xAB\xBB"},
      {0x22C5, "\xB7"},
      {0x2302, "\xA6^"},
      {0x2329, "<>"},
      {0x2500, "\xA6?-"},
      {0x250C, "-?\?\?\xAC?\?\?L?\?\?-?\?\?+"},
      {0x2524, "+"},
      {0x252C, "T"},
      {0x2534, "+"},
      {0x253C, "+"},
      {0x2550, "=\xA6?\?-?\?\xAC?\?L?\?-?\?\xA6?\?\xA6?\?T?\?\xA6?\?+"},
      {0x2580, "-?\?\?-?\?\?-"},
      {0x2591, "---"},
      {0x25A0, "\xA6"},
      {0x25AC, "-"},
      {0x25B2, "^"},
      {0x25BA, ">?\xA1"},
      {0x25C4, "<"},
      {0x25CB, "0"},
      {0x25D8, "\x95" "0"},
      {0x263A, "OO0?\?\?+?>"},
      {0x2660, "\xA6?\?\xA6?\xA6\xA6?\?\?dd"},
      {0x2758, "|?\?\x91\x92\x93\x94"},
      {0x3000, " "},
      {0x3008, "<>\xAB\xBB"},
      {0x301A, "[=?\x22\x22\x84"},
      {0x30FB, "\xB7\x97"},
      {0xFF01, "!\x22#$%&'()*+,-./0123456789:;<=>?@ABCDEFGH"
               "IJKLMNOPQRSTUVWXYZ[\x5C]^_`abcdefghijklmnop"
               "qrstuvwxyz{|}~"}}},
    {1257,
     {0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,
      0x0088, 0x2030, 0x008A, 0x2039, 0x008C, 0x00A8, 0x02C7, 0x00B8,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x0098, 0x2122, 0x009A, 0x203A, 0x009C, 0x00AF, 0x02DB, 0x009F,
      0x00A0, 0xF8FC, 0x00A2, 0x00A3, 0x00A4, 0xF8FD, 0x00A6, 0x00A7,
      0x00D8, 0x00A9, 0x0156, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00C6,
      0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
      0x00F8, 0x00B9, 0x0157, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00E6,
      0x0104, 0x012E, 0x0100, 0x0106, 0x00C4, 0x00C5, 0x0118, 0x0112,
      0x010C, 0x00C9, 0x0179, 0x0116, 0x0122, 0x0136, 0x012A, 0x013B,
      0x0160, 0x0143, 0x0145, 0x00D3, 0x014C, 0x00D5, 0x00D6, 0x00D7,
      0x0172, 0x0141, 0x015A, 0x016A, 0x00DC, 0x017B, 0x017D, 0x00DF,
      0x0105, 0x012F, 0x0101, 0x0107, 0x00E4, 0x00E5, 0x0119, 0x0113,
      0x010D, 0x00E9, 0x017A, 0x0117, 0x0123, 0x0137, 0x012B, 0x013C,
      0x0161, 0x0144, 0x0146, 0x00F3, 0x014D, 0x00F5, 0x00F6, 0x00F7,
      0x0173, 0x0142, 0x015B, 0x016B, 0x00FC, 0x017C, 0x017E, 0x02D9},
     {{0xFF01, "!\x22#$%&'()*+,-./0123456789:;<=>?@ABCDEFGH"
               "IJKLMNOPQRSTUVWXYZ[\x5C]^_`abcdefghijklmnop"
               "qrstuvwxyz{|}~"}}},
};

// Code page 932's best-fit characters (its own characters come from iconv).
const std::pair<char16_t, uint16_t> kBestFit932[] = {
    {0x00A1, 0x0021}, {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00A5, 0x005C}, {0x00A6, 0x007C}, {0x00A9, 0x0063},
    {0x00AA, 0x0061}, {0x00AB, 0x81E1}, {0x00AC, 0x81CA}, {0x00AD, 0x002D}, {0x00AE, 0x0052}, {0x00AF, 0x8150},
    {0x00B2, 0x0032}, {0x00B3, 0x0033}, {0x00B5, 0x83CA}, {0x00B7, 0x8145}, {0x00B8, 0x8143}, {0x00B9, 0x0031},
    {0x00BA, 0x006F}, {0x00BB, 0x81E2}, {0x00C0, 0x0041}, {0x00C1, 0x0041}, {0x00C2, 0x0041}, {0x00C3, 0x0041},
    {0x00C4, 0x0041}, {0x00C5, 0x0041}, {0x00C6, 0x0041}, {0x00C7, 0x0043}, {0x00C8, 0x0045}, {0x00C9, 0x0045},
    {0x00CA, 0x0045}, {0x00CB, 0x0045}, {0x00CC, 0x0049}, {0x00CD, 0x0049}, {0x00CE, 0x0049}, {0x00CF, 0x0049},
    {0x00D0, 0x0044}, {0x00D1, 0x004E}, {0x00D2, 0x004F}, {0x00D3, 0x004F}, {0x00D4, 0x004F}, {0x00D5, 0x004F},
    {0x00D6, 0x004F}, {0x00D8, 0x004F}, {0x00D9, 0x0055}, {0x00DA, 0x0055}, {0x00DB, 0x0055}, {0x00DC, 0x0055},
    {0x00DD, 0x0059}, {0x00DE, 0x0054}, {0x00DF, 0x0073}, {0x00E0, 0x0061}, {0x00E1, 0x0061}, {0x00E2, 0x0061},
    {0x00E3, 0x0061}, {0x00E4, 0x0061}, {0x00E5, 0x0061}, {0x00E6, 0x0061}, {0x00E7, 0x0063}, {0x00E8, 0x0065},
    {0x00E9, 0x0065}, {0x00EA, 0x0065}, {0x00EB, 0x0065}, {0x00EC, 0x0069}, {0x00ED, 0x0069}, {0x00EE, 0x0069},
    {0x00EF, 0x0069}, {0x00F0, 0x0064}, {0x00F1, 0x006E}, {0x00F2, 0x006F}, {0x00F3, 0x006F}, {0x00F4, 0x006F},
    {0x00F5, 0x006F}, {0x00F6, 0x006F}, {0x00F8, 0x006F}, {0x00F9, 0x0075}, {0x00FA, 0x0075}, {0x00FB, 0x0075},
    {0x00FC, 0x0075}, {0x00FD, 0x0079}, {0x00FE, 0x0074}, {0x00FF, 0x0079}, {0x3094, 0x8394}};

constexpr char32_t kReplacement = 0xFFFD;

class SingleByte final : public CodePage {
public:
    explicit SingleByte(const SingleByteTable& table) : table_(table) {
        for (int i = 0; i < 128; ++i) bytes_.emplace(table.upper[i], static_cast<char>(0x80 + i));
    }
    uint32_t Number() const override { return table_.number; }

    std::string Decode(const std::string& bytes) const override {
        std::string text;
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            AppendUtf8(byte < 0x80 ? byte : table_.upper[byte - 0x80], text);
        }
        return text;
    }

    std::string Encode(const std::string& text) const override {
        std::string bytes;
        for (const char32_t c : FromUtf8(text)) {
            if (c >= 0x10000) {
                bytes += "??";  // two UTF-16 units, neither in the code page
            } else {
                bytes += c < 0x80 ? static_cast<char>(c) : Byte(c);
            }
        }
        return bytes;
    }

private:
    char Byte(char32_t c) const {
        const auto exact = bytes_.find(c);
        if (exact != bytes_.end()) return exact->second;
        for (const BestFitRun& run : table_.bestFit) {
            if (c >= run.first && c - run.first < std::strlen(run.bytes)) return run.bytes[c - run.first];
        }
        return '?';
    }

    const SingleByteTable& table_;
    std::map<char32_t, char> bytes_;
};

// Code page 932 (Shift JIS as Windows extends it): one or two bytes a
// character, the pairs converted by glibc's iconv, which agrees with
// Windows on every pair; the single bytes that Windows reads as private
// characters and the best-fit characters from the tables here.
class ShiftJis final : public CodePage {
public:
    static std::unique_ptr<CodePage> Open() {
        const iconv_t decoder = iconv_open("UTF-32LE", "CP932");
        const iconv_t encoder = iconv_open("CP932", "UTF-32LE");
        if (decoder != kNoConversion && encoder != kNoConversion) {
            return std::unique_ptr<CodePage>(new ShiftJis(decoder, encoder));
        }
        if (decoder != kNoConversion) iconv_close(decoder);
        if (encoder != kNoConversion) iconv_close(encoder);
        return nullptr;
    }
    ~ShiftJis() override {
        iconv_close(decoder_);
        iconv_close(encoder_);
    }
    uint32_t Number() const override { return 932; }

    std::string Decode(const std::string& bytes) const override {
        std::string text;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            if (byte < 0x80) {
                text += static_cast<char>(byte);
            } else if (byte >= 0xA1 && byte <= 0xDF) {
                AppendUtf8(0xFF61 + (byte - 0xA1), text);  // half-width katakana
            } else if (byte == 0x80 || byte == 0xA0 || byte >= 0xFD) {
                AppendUtf8(byte == 0x80 ? 0x80 : byte == 0xA0 ? 0xF8F0 : 0xF8F1 + (byte - 0xFD), text);
            } else if (i + 1 < bytes.size() && bytes[i + 1] != '\0') {
                // A lead byte takes the next byte with it, valid or not.
                const char32_t pair = Convert(decoder_, bytes.substr(i, 2));
                AppendUtf8(pair != 0 ? pair : 0x30FB, text);
                ++i;
            } else {
                AppendUtf8(0x30FB, text);
            }
        }
        return text;
    }

    std::string Encode(const std::string& text) const override {
        std::string bytes;
        for (const char32_t c : FromUtf8(text)) {
            if (c < 0x80) {
                bytes += static_cast<char>(c);
            } else if (c >= 0x10000) {
                bytes += "??";
            } else if (c == 0x80 || c == 0xF8F0 || (c >= 0xF8F1 && c <= 0xF8F3)) {
                bytes += static_cast<char>(c == 0x80 ? 0x80 : c == 0xF8F0 ? 0xA0 : 0xFD + (c - 0xF8F1));
            } else if (const uint16_t code = Code(c)) {
                if (code > 0xFF) bytes += static_cast<char>(code >> 8);
                bytes += static_cast<char>(code & 0xFF);
            } else {
                bytes += '?';
            }
        }
        return bytes;
    }

private:
    static inline const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

    ShiftJis(iconv_t decoder, iconv_t encoder) : decoder_(decoder), encoder_(encoder) {}

    // The character of a pair of bytes, or 0 when they are none.
    static char32_t Convert(iconv_t decoder, const std::string& pair) {
        char in[2] = {pair[0], pair[1]};
        unsigned char out[4] = {};
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        size_t inLeft = sizeof in, outLeft = sizeof out;
        iconv(decoder, nullptr, nullptr, nullptr, nullptr);
        if (iconv(decoder, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || outLeft != 0) {
            return 0;
        }
        return out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
    }

    // One or two bytes as a number (0x8191), or 0 when the code page lacks
    // the character and has no best fit for it.
    uint16_t Code(char32_t c) const {
        char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8 & 0xFF), 0, 0};
        unsigned char out[4] = {};
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        size_t inLeft = sizeof in, outLeft = sizeof out;
        iconv(encoder_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(encoder_, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) {
            const size_t length = sizeof out - outLeft;
            if (length == 1) return out[0];
            if (length == 2) return static_cast<uint16_t>(out[0] << 8 | out[1]);
        }
        for (const auto& fit : kBestFit932) {
            if (fit.first == c) return fit.second;
        }
        return 0;
    }

    iconv_t decoder_, encoder_;
};

// 65001: text as it is; bytes that are no UTF-8 read as U+FFFD.
class Utf8 final : public CodePage {
public:
    uint32_t Number() const override { return 65001; }
    std::string Decode(const std::string& bytes) const override {
        std::string text;
        for (const char32_t c : FromUtf8(bytes)) AppendUtf8(c, text);
        return text;
    }
    std::string Encode(const std::string& text) const override { return text; }
};

using CodePages = std::map<uint32_t, std::unique_ptr<CodePage>>;

CodePages MakeCodePages() {
    CodePages pages;
    for (const SingleByteTable& table : kSingleByte) pages[table.number] = std::make_unique<SingleByte>(table);
    if (std::unique_ptr<CodePage> shiftJis = ShiftJis::Open()) pages[932] = std::move(shiftJis);
    pages[65001] = std::make_unique<Utf8>();
    return pages;
}

const CodePages& Available() {
    static const CodePages pages = MakeCodePages();
    return pages;
}

}  // namespace

const CodePage* CodePage::Find(uint32_t number) {
    const auto found = Available().find(number);
    return found == Available().end() ? nullptr : found->second.get();
}

std::vector<uint32_t> CodePage::Numbers() {
    std::vector<uint32_t> numbers;
    for (const auto& page : Available()) numbers.push_back(page.first);
    return numbers;
}

std::string UpperCase(const std::string& text) {
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    std::string upper;
    for (const char32_t c : FromUtf8(text)) {
        if (unicode != nullptr) {
            AppendUtf8(static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), unicode)), upper);
        } else {
            AppendUtf8(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c, upper);
        }
    }
    return upper;
}

std::u32string FromUtf8(const std::string& text) {
    std::u32string codes;
    for (size_t i = 0; i < text.size();) {
        const size_t length = setup::Utf8SequenceLength(text, i);
        if (length == 0) {
            codes += kReplacement;
            ++i;
            continue;
        }
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t n = 1; n < length; ++n) code = code << 6 | (static_cast<unsigned char>(text[i + n]) & 0x3F);
        codes += code;
        i += length;
    }
    return codes;
}

void AppendUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string FromUtf16(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t unit =
            static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = static_cast<unsigned char>(bytes[i + 2]) |
                                 static_cast<unsigned char>(bytes[i + 3]) << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(unit, text);
    }
    return text;
}

}  // namespace platform::posix
