-- The same updates on locals, as a Lua programmer keeps such counters.
local n, k = 0, 0
while k < 2000000 do
    n = n + k % 3
    k = k + 1
end
print(n)
