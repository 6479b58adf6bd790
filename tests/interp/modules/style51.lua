-- A 5.1 module: registers itself and returns nothing.
module(..., package.seeall)
value = 51
