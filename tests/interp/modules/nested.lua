local inner = require("plain")
return { inner = inner, after = _REQUIREDNAME }
