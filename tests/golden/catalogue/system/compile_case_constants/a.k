// Signature's constants 0, 2, 3 and the literal 1 are four values in 0..3:
// a jump table of four entries.
int state(int v) {
    switch (v) {
    case Signature.UNINITIALIZED:
        return 1;
    case 1:
        return 2;
    case Signature.SIGN:
        return 3;
    case Signature.VERIFY:
        return 4;
    }
    return 0;
}
int main(String[] args) { return state(Crypto.AES_ECB); }
