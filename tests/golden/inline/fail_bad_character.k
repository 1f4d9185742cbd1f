# // expect error: 语法错误 不可识别的字符:fail_bad_character.k // expect error: 语法错误:fail_bad_character.k
