// Texts the tool shows that several tests expect, written out here independently of the
// product's own constants (a test that copied those could not catch a wrong character).
#pragma once

namespace velmo::testing {

// What the error box adds when the installation folder refuses new entries.
inline constexpr wchar_t kWriteProtectionAdvice[] =
    L"\r\n\r\n当前用户不能在Velmo浏览器的安装目录中写入文件（例如安装在“Program Files”文件夹下，"
    L"或者U盘开启了写保护）。绿色版的配置文件必须存放在当前用户可以写入的文件夹中，"
    L"Velmo浏览器才能保存书签、Cookie和设置。请把Velmo浏览器所在的整个文件夹复制到可以写入的位置"
    L"（例如其他磁盘或U盘），再运行复制过去的本工具。";

}  // namespace velmo::testing
