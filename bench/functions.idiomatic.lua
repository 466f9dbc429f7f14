-- Built-in function calls, as a Lua programmer writes them: the functions and the
-- variables in locals, numeric for.
local abs, min = math.abs, math.min
local s = 0
for i = 0, 3000000 - 1 do
    s = s + abs(i - 1500000) + min(i, 7)
end
print(s)
