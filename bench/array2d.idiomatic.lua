-- 2-D array: fill and sum; a table of rows, locals and numeric for.
local a, t = {}, 0
for i = 0, 1000 - 1 do
    local row = {}
    a[i] = row
    for j = 0, 1000 - 1 do row[j] = i + j end
end
for i = 0, 1000 - 1 do
    local row = a[i]
    for j = 0, 1000 - 1 do t = t + row[j] end
end
print(t)
