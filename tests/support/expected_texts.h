// Texts the tool shows that several tests expect, written out here independently of the
// product's own constants (a test that copied those could not catch a wrong character).
#pragma once

namespace velmo::testing {

// What the error box adds when the installation folder refuses new entries.
inline constexpr wchar_t kWriteProtectionAdvice[] =
    L"\r\n\r\n当前用户没有权限在Velmo浏览器的安装目录中写入文件（例如安装在“Program Files”文件夹下时）。"
    L"可以用管理员身份重新运行本工具后再操作；也可以把Velmo浏览器所在的整个文件夹复制到可以写入的位置"
    L"（例如其他磁盘或U盘），再运行复制过去的本工具。\r\n"
    L"是否现在以管理员身份重新启动本工具？";

}  // namespace velmo::testing
