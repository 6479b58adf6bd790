return "sub/dotted.lua"
