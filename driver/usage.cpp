#include "driver/usage.h"

#include "driver/console.h"

const char* const kUsageLines[] = {
    "korvo [选项:options] korvo源文件[.k|.kcs|.kcsm] -o 输出文件\n\n",
    "选项说明[Options]:\n",
    "\t-c [sources]\t编译korvo源文件并生成korvo字节码,用于配合其他生成选项[-lik|-slk|-kl].\n",
    "\t-ce [sources]\t编译为指定平台可执行程序.\n",
    "\t-lik \t设定生成目标为静态库,需与 -c 命令组合.\n",
    "\t-slk \t设定生成目标为共享库,需与 -c 命令组合.\n",
    "\t-kl \t设定生成目标为共享链接库,需与 -c 命令组合.\n",
    "\t-gs \t生成native c/c++ 代码.\n",
    "\t-nd \t不生成调试信息.\n",
    "\t-dbg \t生成可调试程序.\n",
    "\t-w \t忽略所有警告.\n",
    "\t-wl [warning id..]\t忽略指定警告\n",
    "\t-arch:[x86|x86_64|arm|arm64|mips] \t指定目标处理器架构(仅限于-ce编译).\n",
    "\t\t若不指定arch, 则默认生成与编译器相同架构的目标程序(仅限于-ce编译).\n",
    "\t-kcross-[osname]  \t指定可执行程序的目标操作系统[已支持的osname可选:windows,windows_xp,linux,darwin,"
    "以及已安装的编译器扩展系统支持](仅限于-ce编译).\n",
    "\t\t若不指定目标操作系统, 则默认生成当前操作系统的可执行程序(仅限于-ce编译).\n",
    "\t-libpath path \t指定引用库查找目录.\n",
    "\t-incpath path \t指定包含文件查找目录.\n",
    "\t-lib lib.lik \t指定引用的外部库.\n",
    "\t-link lib.kl \t指定共享链接库.\n",
    "\t-z \t\t生成压缩的目标代码以减小体积(仅影响 -c|-ce|-slk -c).\n",
    "\t-o path \t指定生成文件的路径.\n",
    "\t-console \t指定子系统为控制台(仅Windows有效).\n",
    "\t-ico path \t指定目标文件的图标.\n\n",
    " e.g: korvo -ce main.k module.kcsm -arch:x86 -nd -w -incpath ../inc -libpath ../libs -lib mathex.lik -dbg "
    "-o ./debug/main\n",
};

const size_t kUsageLineCount = sizeof kUsageLines / sizeof kUsageLines[0];

void printUsage() {
    for (size_t i = 0; i < kUsageLineCount; ++i) printToStdout(kUsageLines[i]);
}
