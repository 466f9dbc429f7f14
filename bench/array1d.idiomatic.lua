-- 1-D array: fill and sum, repeated; locals and numeric for.
local a, t = {}, 0
for _ = 1, 40 do
    for i = 0, 30000 - 1 do a[i] = i end
    for i = 0, 30000 - 1 do t = t + a[i] end
end
print(t)
