x = "unterminated;
