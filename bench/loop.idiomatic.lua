-- Numeric loop, as a Lua programmer writes it: locals, numeric for, %.
-- (The script's mod truncates; on these non-negative operands % agrees with it.)
local s = 0
for i = 0, 3000000 - 1 do
    s = s + i * 2 - i / 4 + i % 7
end
print(s)
