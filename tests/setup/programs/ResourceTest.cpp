// The programs' Chinese string tables (language 0x804) and the setup's
// three-button dialog.
#include <gtest/gtest.h>

#include <string>

#include "ProgramStrings.h"
#include "SetupProcess.h"
#include "bMsgBox.h"

namespace {

const WORD CHINESE = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

}  // namespace

TEST(SetupResources, LauncherStrings) {
    ExpectProgramStrings(WinPath(SETUP_STARTUP_EXE),
                         {{57344, "启动应用程序"},
                          {57345, "不能启动应用程序: "},
                          {57346, "内存或系统资源不足"},
                          {57347, "可执行文件已经损坏\n请重新安装Mavro运行环境"},
                          {57348, "Mavro运行时刻库没有找到\n请重新安装Mavro运行环境"},
                          {57349, "错误"}});
}

TEST(SetupResources, RuntimeSetupStrings) {
    ExpectProgramStrings(
        WinPath(SETUP_RTSETUP_EXE),
        {{2014, "%s文件不存在或文件不对!"},
         {2017, "已安装完毕。"},
         {2018, "没有安装成功!"},
         {2020, "创建目录失败！"},
         {2029, "不能复制文件 "},
         {2030, " 到 "},
         {2039, "注册文件“%s”失败！"},
         {2051, "\n\n是否忽略?"},
         {2052, "文件："},
         {2053, "不存在。"},
         {2060,
          "安装程序发现系统已经安装了一个较新版本(%s)\n的Mavro运行环境，继续安装将覆盖原先"
          "安装的版本。\n\n是否继续？"},
         {2062, "目标文件较新, 您可以忽略该文件:\n"},
         {2064, "Mavro运行环境"},
         {2065,
          "已安装完毕。\n由于部分系统文件正被使用, "
          "您必须重新启动windows以更新这些文件。\n\n"},
         {2066, "重新启动吗？"},
         {2067, "安装程序不能重新启动计算机. 请在安装程序退出后重新启动计算机."},
         {2418, "安装"},
         {2419, "本程序将安装Mavro运行环境，请在继续前关闭其他应用程序。\n是否继续？"},
         {57355, "OLE初始化失败: %08X"},
         {57400, "是(&Y)"},
         {57401, "否(&N)"},
         {57408, "全是(&A)"}});
}

TEST(SetupResources, MediaInstallerStrings) {
    ExpectProgramStrings(
        WinPath(SETUP_MEDIAPREP_EXE),
        {{57347, "安装DirectX Media 6.0"},
         {57348, "安装程序发现DirectX Media 6.0或更高的版本已经安装\n是否重新安装?"},
         {57350, "文件没有全部抽取(错误码: %d): %s"},
         {57351, "安装DirectX Media错误: 0x%08x"},
         {57352, "DirectX Media已经安装完毕, 在使用前您必须重新启动计算机."},
         {57353, "DirectX Media已安装完毕."},
         {57354, "安装L3驱动失败！"}});
}

TEST(SetupResources, ChoiceDialogHasItsTextAndThreeButtons) {
    HMODULE module =
        LoadLibraryExA(WinPath(SETUP_RTSETUP_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(nullptr, FindResourceExA(module, (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(3100), CHINESE));
    HWND dialog = CreateDialogParamA(module, MAKEINTRESOURCEA(3100), nullptr, PlainDialog, 0);
    ASSERT_NE(dialog, nullptr);
    for (int id : {1000, IDYES, IDYESTOALL, IDNO}) EXPECT_NE(nullptr, GetDlgItem(dialog, id)) << id;
    DestroyWindow(dialog);
    FreeLibrary(module);
}
