-- Loaded as "m.lua" and as "m": records each run and what it was given.
runs = (runs or 0) + 1
return { required = _REQUIREDNAME, arg = ..., run = runs }
