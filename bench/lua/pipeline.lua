-- Sends DEPTH requests for PATH in one write on each connection (wrk -s pipeline.lua URL -- PATH DEPTH).
dofile(string.gsub(debug.getinfo(1, "S").source, "^@(.*)pipeline.lua$", "%1report.lua"))

init = function(args)
   local path, depth = args[1], tonumber(args[2])
   local batch = {}
   for i = 1, depth do
      batch[i] = wrk.format("GET", path)
   end
   pipelined = table.concat(batch)
end

request = function()
   return pipelined
end
