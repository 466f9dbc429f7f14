-- Built-in function calls on fields of an instance table, through the math table.
local self = {}
self.s = 0
self.i = 0
while self.i < 3000000 do
    self.s = self.s + math.abs(self.i - 1500000) + math.min(self.i, 7)
    self.i = self.i + 1
end
print(self.s)
