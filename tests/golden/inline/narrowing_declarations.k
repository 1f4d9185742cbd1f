// Initial values stored into narrower variables: a constant that fits is
// silent, one beyond the range loses data, a floating one loses precision;
// a bitwise value is as wide as its wider operand, whichever side it is on.
int main(String[] args) { // expect warning 204: 未使用的参数:args
    byte b1 = 255;
    byte b2 = 256; // expect warning 117: 超过该类型范围的数据将丢失. // expect warning 164: 从 int 转换到 byte 可能丢失数据.
    char c1 = 65535;
    char c2 = -1; // expect warning 117: 超过该类型范围的数据将丢失. // expect warning 164: 从 int 转换到 char 可能丢失数据.
    short s1 = -32768;
    short s2 = 32768; // expect warning 117: 超过该类型范围的数据将丢失. // expect warning 164: 从 int 转换到 short 可能丢失数据.
    int i = 1.5; // expect warning 163: 从 double 转换到 int 可能丢失精度. // expect warning 164: 从 double 转换到 int 可能丢失数据.
    float f = 1.5; // expect warning 163: 从 double 转换到 float 可能丢失精度. // expect warning 164: 从 double 转换到 float 可能丢失数据. // expect warning 200: 未使用的对象:f
    long l = i;
    int back = l; // expect warning 164: 从 long 转换到 int 可能丢失数据.
    int joined = i | l; // expect warning 164: 从 long 转换到 int 可能丢失数据.
    return b1 + b2 + c1 + c2 + s1 + s2 + i + back + joined;
}
