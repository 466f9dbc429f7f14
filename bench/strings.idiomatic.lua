-- String building with a local and a numeric for.
local s = ""
for i = 0, 20000 - 1 do
    s = s .. tostring(i) .. ","
end
print(#s)
