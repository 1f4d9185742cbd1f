// The member texts of the core built-ins: Exception, Thread, _system_, the
// one method of TimerTask and the fixed methods of a RemoteCallPipe proxy.
#include "builtins/core_texts.h"

namespace builtins {

const char kExceptionMembers[] = R"(
field String message
field long errcode
Exception Exception()
Exception Exception(String msg)
final String getMessage()
final long getErrorCode()
)";

// The two constructors every other exception class adds; the name is the
// class's own.
const char kExceptionConstructors[] = R"(
Exception C()
Exception C(String msg)
)";

const char kThreadMembers[] = R"(
field final long id
abstract void run()
static final void sleep(long millis) throws InterruptedException
static final void setName(String name) throws IllegalArgumentException
static final void setLocalObject(Object tlsobj)
static final Object getLocalObject()
final void start()
static final long getId()
final long id()
final void join()
)";

const char kTimerTaskMembers[] = R"(
void run()
)";

// S is the served interface, the first template argument.
const char kRemoteCallPipeFixed[] = R"(
- RemoteCallPipe()
bool create(AsyncOutput output, IRCPEventHandler handler, S local, bool bServer) throws IllegalArgumentException
int startForServer() throws IllegalArgumentException
int startForClient(long context, int timeout) throws IllegalArgumentException
int ping() throws IllegalArgumentException
long remoteTimeMillis() throws IllegalArgumentException
AsyncInput getAsyncDirectInput() throws IllegalArgumentException
void close()
void enableBuffer(bool benable)
void finalize()
)";

// Log levels, platforms, architectures, signals, signal handler results, file
// mode bits, standard streams, language identifiers, open flags and parity;
// then the methods, whose order is the runtime's slot order.
const char kSystemMembers[] = R"(
const int LOG_LEV_EMERG = 0
const int LOG_LEV_ALERT = 1
const int LOG_LEV_CRIT = 2
const int LOG_LEV_ERR = 3
const int LOG_LEV_WARNING = 4
const int LOG_LEV_NOTICE = 5
const int LOG_LEV_INFO = 6
const int LOG_LEV_DEBUG = 7
const int PLATFORM_UNKNOW = -1
const int PLATFORM_WINDOWS = 0
const int PLATFORM_LINUX = 1
const int PLATFORM_MACOSX = 2
const int PLATFORM_IOS = 3
const int PLATFORM_IOS_SIMULATOR = 4
const int PLATFORM_UNIX = 5
const int PLATFORM_POSIX = 6
const int PLATFORM_ANDROID = 11
const int ARCH_UNKNOW = -1
const int ARCH_X86 = 1
const int ARCH_X64 = 2
const int ARCH_ARM = 3
const int ARCH_ARM64 = 4
const int ARCH_MIPS = 5
const int ARCH_MIPS64 = 6
const int SIGINT = 1
const int SIGTSTP = 2
const int SIGCONT = 3
const int SIGTERM = 4
const int SIGPWR = 5
const int SIGNAL_UNINTERESTED = 0
const int SIGNAL_SPREAD = 0
const int SIGNAL_ABORT = 1
const int SIGNAL_DISCARD = 2
const int S_IFMT = 0xf000
const int S_IFSOCK = 0xc000
const int S_IFLNK = 0xa000
const int S_IFREG = 0x8000
const int S_IFBLK = 0x6000
const int S_IFDIR = 0x4000
const int S_IFCHR = 0x2000
const int S_IFIFO = 0x1000
const int S_ISUID = 0x800
const int S_ISGID = 0x400
const int S_ISVTX = 0x200
const int S_IRWXU = 0x1c0
const int S_IRUSR = 0x100
const int S_IWUSR = 0x80
const int S_IXUSR = 0x40
const int S_IRWXG = 0x38
const int S_IRGRP = 0x20
const int S_IWGRP = 0x10
const int S_IXGRP = 0x8
const int S_IRWXO = 0x7
const int S_IROTH = 0x4
const int S_IWOTH = 0x2
const int S_IXOTH = 0x1
const int STDIN_NO = 0
const int STDOUT_NO = 1
const int STDERR_NO = 2
const int LCID_DEFAULT = 0
const int LCID_AFK = 1078
const int LCID_SQI = 1052
const int LCID_ARG = 5121
const int LCID_ARH = 15361
const int LCID_ARE = 3073
const int LCID_ARI = 2049
const int LCID_ARJ = 11265
const int LCID_ARK = 13313
const int LCID_ARB = 12289
const int LCID_ARL = 4097
const int LCID_ARM = 6145
const int LCID_ARO = 8193
const int LCID_ARQ = 16385
const int LCID_ARA = 1025
const int LCID_ARS = 10241
const int LCID_ART = 7169
const int LCID_ARU = 14337
const int LCID_ARY = 9217
const int LCID_HYE = 1067
const int LCID_ASM = 1101
const int LCID_AZE = 2092
const int LCID_AZE1 = 1068
const int LCID_EUQ = 1069
const int LCID_BEL = 1059
const int LCID_BEN = 1093
const int LCID_BGR = 1026
const int LCID_CAT = 1027
const int LCID_ZHH = 3076
const int LCID_ZHM = 5124
const int LCID_CHS = 2052
const int LCID_ZHI = 4100
const int LCID_CHT = 1028
const int LCID_LTC = 2087
const int LCID_HRV = 1050
const int LCID_CSY = 1029
const int LCID_DAN = 1030
const int LCID_DIV = 1125
const int LCID_NLB = 2067
const int LCID_NLD = 1043
const int LCID_ENA = 3081
const int LCID_ENL = 10249
const int LCID_ENC = 4105
const int LCID_ENB = 9225
const int LCID_ENI = 6153
const int LCID_ENJ = 8201
const int LCID_ENZ = 5129
const int LCID_ENP = 13321
const int LCID_ENS = 7177
const int LCID_ENT = 11273
const int LCID_ENG = 2057
const int LCID_USA = 1033
const int LCID_ENW = 12297
const int LCID_ETI = 1061
const int LCID_FOS = 1080
const int LCID_FAR = 1065
const int LCID_FIN = 1035
const int LCID_FRB = 2060
const int LCID_FRC = 3084
const int LCID_FRA = 1036
const int LCID_FRL = 5132
const int LCID_FRM = 6156
const int LCID_FRS = 4108
const int LCID_MKI = 1071
const int LCID_GLC = 1110
const int LCID_KAT = 1079
const int LCID_DEA = 3079
const int LCID_DEU = 1031
const int LCID_DEC = 5127
const int LCID_DEL = 4103
const int LCID_DES = 2055
const int LCID_ELL = 1032
const int LCID_GUJ = 1095
const int LCID_HEB = 1037
const int LCID_HIN = 1081
const int LCID_HUN = 1038
const int LCID_ISL = 1039
const int LCID_IND = 1057
const int LCID_ITA = 1040
const int LCID_ITS = 2064
const int LCID_JPN = 1041
const int LCID_KAN = 1099
const int LCID_KKZ = 1087
const int LCID_KNK = 1111
const int LCID_KOR = 1042
const int LCID_KYR = 1088
const int LCID_LVI = 1062
const int LCID_LTH = 1063
const int LCID_MSB = 2110
const int LCID_MSL = 1086
const int LCID_MAL = 1100
const int LCID_MAR = 1102
const int LCID_MON = 1104
const int LCID_NOR = 1044
const int LCID_NON = 2068
const int LCID_ORI = 1096
const int LCID_PLK = 1045
const int LCID_PTB = 1046
const int LCID_PTG = 2070
const int LCID_PAN = 1094
const int LCID_ROM = 1048
const int LCID_RUS = 1049
const int LCID_SAN = 1103
const int LCID_SRB = 3098
const int LCID_SRL = 2074
const int LCID_SKY = 1051
const int LCID_SLV = 1060
const int LCID_ESS = 11274
const int LCID_ESB = 16394
const int LCID_ESL = 13322
const int LCID_ESO = 9226
const int LCID_ESC = 5130
const int LCID_ESD = 7178
const int LCID_ESF = 12298
const int LCID_ESE = 17418
const int LCID_ESG = 4106
const int LCID_ESH = 18442
const int LCID_ESM = 2058
const int LCID_ESI = 19466
const int LCID_ESA = 6154
const int LCID_ESZ = 15370
const int LCID_ESR = 10250
const int LCID_ESU = 20490
const int LCID_ESP = 1034
const int LCID_ESN = 3082
const int LCID_ESY = 14346
const int LCID_ESV = 8202
const int LCID_SWK = 1089
const int LCID_SVF = 2077
const int LCID_SVE = 1053
const int LCID_SYR = 1114
const int LCID_TAM = 1097
const int LCID_TTT = 1092
const int LCID_TEL = 1098
const int LCID_THA = 1054
const int LCID_TRK = 1055
const int LCID_UKR = 1058
const int LCID_URP = 1056
const int LCID_URI = 2080
const int LCID_UZB = 2115
const int LCID_UZB1 = 1091
const int LCID_VIT = 1066
const int ACCMODE = 0x3
const int READ = 0x4
const int WRITE = 0x1
const int READWRITE = 0x2
const int CREATE = 0x40
const int EXCL = 0x80
const int NOCTTY = 0x100
const int TRUNC = 0x200
const int APPEND = 0x400
const int NDELAY = 0x800
const int SYNC = 0x101000
const int ASYNC = 0x2000
const int LARGEFILE = 0x8000
const int DIRECTORY = 0x10000
const int NOFOLLOW = 0x20000
const int CLOEXEC = 0x80000
const int DIRECT = 0x4000
const int NOATIME = 0x40000
const int PATH = 0x200000
const int DSYNC = 0x1000
const int TMPFILE = 0x410000
const int PARITY_NONE = 0
const int PARITY_ODD = 1
const int PARITY_EVEN = 2
static final long currentTimeMillis()
static final void exit(int status)
static final void gc()
static final void arrayCopy(Object src, long srcPos, Object dest, long destPos, long length) throws IllegalArgumentException, ArrayStoreException, IndexOutOfBoundsException
static final long open(String! file, int! mode) throws IllegalArgumentException
static final bool close(long handle)
static final long seek(long handle, int type, long pos)
static final long getSeek(long handle)
static final long getLength(long handle) throws IllegalArgumentException
static final long getFileSize(String! filename) throws IllegalArgumentException
static final long read(long handle, byte[] data, long offset, long length) throws IllegalArgumentException, IndexOutOfBoundsException
static final long write(long handle, byte[] data, long offset, long length) throws IllegalArgumentException, IndexOutOfBoundsException
static final bool deleteFile(String! filename)
static final bool fileExists(String! filename)
static final void sleep(long milliSecond) throws IllegalArgumentException
static final void createConsole()
static final long consoleWrite(String data)
static final void output(String data)
static final void log(String tag, int level, String data, bool bSys)
static final long consoleRead(byte[]! data, long offset, long length) throws IndexOutOfBoundsException
static final String getAppPath()
static final String getAppDirectory()
static final String getWorkDirector()
static final bool mkdir(String! data)
static final bool rmdir(String! data)
static final bool rename(String! old, String! new)
static final int getPlatformId()
static final int getArchId()
static final int getOSBit()
static final String getDefaultEncoding()
static final long createPipe(String! pipename, bool forOpen)
static final bool openPipe(long filepath, bool bForRead) throws IllegalArgumentException
static final bool closePipe(long handle)
static final long readPipe(long handle, byte[] data, long offset, long length) throws IllegalArgumentException, IndexOutOfBoundsException
static final long writePipe(long handle, byte[] data, long offset, long length) throws IllegalArgumentException, IndexOutOfBoundsException
static final bool setupLogSource(String pipename)
static final bool chmod(String path, int pmode) throws IllegalArgumentException
static final bool registryCrashHandler(ICrashHandler handler)
static final long getAppVersion()
static final long getAppTimestamp()
static final bool chdir(String path)
static final String getHostName()
static final bool registrySystemSignalHandler(int signal, ISystemSignalHandler handler, bool add) throws IllegalArgumentException
static final int loadLibrary(String modulepath) throws IllegalArgumentException
static final String getModulePath(int id)
static final int getModuleId(String modulepath)
static final int[] getAllModules() throws IllegalArgumentException
static final int serviceRun(String! serviceName)
static final bool isServiceInstalled(String! serviceName)
static final bool installService(String! apppath, String! serviceName, String! displayName, String description)
static final bool uninstallService(String! serviceName)
static final int getFileMode(String filepath) throws IllegalArgumentException
static final bool setMinorGCThreshold(double fThreshold)
static final void setObjectNonFinalize(Object object)
static final int getchar()
static final void stdflush(int stdno) throws IllegalArgumentException
static final long consoleWriteError(String data)
static final long consoleReadMask(byte[] data, long offset, long length, char maskChar) throws NullPointerException, IndexOutOfBoundsException
static final bool setEnvironmentVariable(String! name, String value, bool append, bool atfront) throws IllegalArgumentException
static final String getEnvironmentVariable(String! name)
static final bool disableIncrementalGC(bool bDisable)
static final void setApplicationLanguage(int lcid)
static final int getApplicationLanguage()
static final int getSystemLanguage()
static final int getLanguageId(String code)
static final String getLanguageCode(int lcid)
static final String getLanguage(int lcid)
static final String getSubLanguage(int lcid)
static final int[] listSubLanguage(String language)
static final int[] listAllLanguage()
static final int chbufsize(long fd, int size)
static final int chbaudrate(long fd, int baudrate)
static final int chparity(long fd, int parity)
static final int chstopbit(long fd, int stopbit)
static final void arrayFill(Object array, Object value, long offset, long length) throws IllegalArgumentException, ArrayStoreException, IndexOutOfBoundsException
static final long getVersion(int moduleId)
static final long getTimestamp(int moduleId)
static final bool makeArrayObject(Object dst, Pointer pointer, long size)
static final String getOSVersion()
static final long elapsedRealtime()
static final void arrayCopyFromMemory(Pointer src, Object dest, long destPos, long length) throws IllegalArgumentException, ArrayStoreException, IndexOutOfBoundsException, IOException
static final void arrayCopyToMemory(Object src, long srcPos, Pointer dest, long length) throws IllegalArgumentException, ArrayStoreException, IndexOutOfBoundsException, IOException
static final String[] getPropertyKeys()
static final Object getProperty(String key)
)";

std::span<const CoreMemberText> coreMemberTexts() {
    static const CoreMemberText kTexts[] = {
        {"Exception", kExceptionMembers, nullptr},
        {"exception constructors", kExceptionConstructors, nullptr},
        {"Thread", kThreadMembers, nullptr},
        {"TimerTask", kTimerTaskMembers, nullptr},
        {"RemoteCallPipe", kRemoteCallPipeFixed, "S"},
        {"_system_", kSystemMembers, nullptr},
    };
    return kTexts;
}

}  // namespace builtins
