// A nilptr argument warns where the catalogue marks the parameter !:
// String.getBytes(charset!), File(String! path), Process(String! command);
// StringBuffer.getBytes(charset) and Cipher.getInstance(transformation) do not.
int main(String[] args) { // expect warning 204: 未使用的参数:args
    String s = "abc";
    StringBuffer sb = new StringBuffer();
    byte[] a = s.getBytes(nilptr); // expect warning 317: 对象值可能为 nilptr (已限定值为 non-nilptr). // expect warning 200: 未使用的对象:a
    byte[] b = sb.getBytes(nilptr); // expect warning 200: 未使用的对象:b
    File f = new File(nilptr); // expect warning 317: 对象值可能为 nilptr (已限定值为 non-nilptr). // expect warning 200: 未使用的对象:f
    Process p = new Process(nilptr); // expect warning 317: 对象值可能为 nilptr (已限定值为 non-nilptr). // expect warning 200: 未使用的对象:p
    Cipher c = Cipher.getInstance(nilptr); // expect warning 200: 未使用的对象:c
    return 0;
}
