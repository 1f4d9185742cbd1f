"open \" quote
/* open comment
// last line