class Before {
};
require("lib/none.k")
