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
                             {12106, "记录数据失败!"},
                             {12108, "录音结束"},
                             {12109, "初始化声音设备失败"},
                             {12130, "创建捕捉缓冲失败"},
                             {12131, "开始录音失败"},
                             {12132, "停止录音失败"},
                             {12133, "无法创建录音线程"},
                             {12134, "正在录音，请先停止录音。"},
                             {12135, "枚举声音捕捉设备失败"},
                             {12137, "播放开始位置超过录音的长度"},
                             {12138, "播放结束位置应该大于开始位置"},
                             {12143, "无法创建视频滤器"},
                             {12144, "无法创建图像滤器"},
                             {12145, "无法安装视频到容器"},
                             {12146, "无法添加视频捕捉到图像容器"},
                             {12147, "不支持IAMStreamConfig接口"},
                             {12149, "不能设置每秒帧数"},
                             {12164, "建立视频捕捉失败，请确认硬件连接。"},
                             {12165, "停止视频捕捉失败"},
                             {12166, "不支持视频捕捉"},
                             {12167, "没有发现视频捕捉的硬件"},
                             {12168, "无法创建声音文件"},
                             {12204, "打开文件失败，检查文件是否被其他程序占用。"},
                             {12205, "保存文件失败！"},
                             {12206, "无法从内存中创建音频文件。"},
                             {12208, "创建目录失败"},
                             {12209, "非法音频文件名"},
                             {12210, "录音时间应该大于0"},
                             {12212, "装载媒体失败，请参看日志文件。"},
                             {12139, nullptr},
                             {12155, "真"},
                             {12156, "假"},
                             {20025, "GetRGB : 参数(%d, %d, %d)不在合法的范围内。"},
                             {20026, "ObjVolume : 参数(%d)不在合法的范围内。"},
                             {22003, "媒体播放当前位置"},
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

TEST(PlayerStrings, TheMediaDevicesBoxCaptionIsThePlayersTitle) {
    ExpectProgramStrings(PlayerBuildFile("MavroRT.exe"),
                         {{130, "Mavro 播放器"}, {31495, "Mavro 播放器"}});
}
