// The player's string table holds every text that its code loads by id,
// word for word: a missing entry would only show as an English fallback or
// an empty caption at the moment it is needed.
#include <gtest/gtest.h>

#include "PlayerBuildFiles.h"
#include "ProgramStrings.h"

TEST(PlayerStrings, EveryTextTheCodeLoadsIsInTheStringTable) {
    // Null: the wording is the product's own; the text must be there.
    ExpectProgramStrings(PlayerBuildFile("MavroRT.exe"),
                         {
                             {12100, "错误"},
                             {12155, "真"},
                             {12156, "假"},
                             {20025, "GetRGB : 参数(%d, %d, %d)不在合法的范围内。"},
                             {22004, "图片宽度"},
                             {22005, "图片高度"},
                             {25070, "路径"},
                             {25406, "矩形按钮"},
                             {25407, "圆角矩形按钮"},
                             {25408, "椭圆按钮"},
                             {25409, "菱形按钮"},
                             {25410, "圆头按钮"},
                             {25411, "填充检查框"},
                             {25412, "怀旧风格"},
                             {25413, "新式风格"},
                             {25414, "怀旧风格(单线)"},
                             {25415, "新式风格(单线)"},
                             {25416, "填充圆按钮"},
                             {25417, "新式风格"},
                             {25418, "新式风格(大)"},
                             {25419, "怀旧风格"},
                             {25420, "怀旧风格(大)"},
                             {31495, nullptr},
                             {31503, "_VectorObj_"},
                             {31504, "矢量图象"},
                             {31523, "找不到媒体：%s"},
                             {31524, "文件不存在!"},
                             {34500, nullptr},
                             {34501, nullptr},
                         });
}
