return "lib/libmod.lua"
