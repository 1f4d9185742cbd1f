enum E { A, };
