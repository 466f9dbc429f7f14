-- The same updates on locals with a numeric for.
local x, y = 0, 0
for _ = 1, 2000000 do
    x = x + 1
    y = y + x % 5
end
print(x + y)
