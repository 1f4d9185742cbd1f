x = a + b * c;
